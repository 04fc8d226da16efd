#include "app/Filtering.h"

#include "core/ProgramPaths.h"

namespace tessel::app {

Filtering::Filtering(const Services& services, const ui::MenuItems& items, const Settings& settings,
                     hosts::HostsWriter& hosts, responder::Responder& responder, Counter& counter)
    : services_(services),
      items_(items),
      settings_(settings),
      hosts_(hosts),
      responder_(responder),
      counter_(counter) {}

void Filtering::start() {
    removeLeftovers();
    hosts_.giveBackLeftCopy();
    startListening();
    hostsTouched_ = true;
    makeHostsFile();
    services_.tray.add(platform::TrayPicture::Running, "Tessel");
    services_.zorder.setTopmost(platform::WindowId::Main, true);
}

void Filtering::removeLeftovers() {
    services_.files.removeLeftovers(services_.process.paths().files());
    (void)services_.files.removeLeftoversOf(settings_.hostsPath, std::nullopt);
}

void Filtering::startListening() {
    if (const auto error = responder_.startListening()) {
        if (error->number == platform::kAddressInUseNumber) {
            services_.box.show("Sorry, port 80 is being used by another application!",
                               platform::Buttons::Ok, platform::Icon::Exclamation, "Port Conflict");
        } else {
            services_.box.show("Error listening to WinSock: " + error->description);
        }
        // The program ends after the message: the machine gets its file back first.
        giveBackHostsFile();
        services_.tray.remove();
        services_.process.endProgram();
    }
}

bool Filtering::makeHostsFile() {
    return hosts_.makeHostsFile(settings_.hostsPath, settings_.keepHostsFile);
}

void Filtering::giveBackHostsFile() {
    hosts_.giveBackHostsFile(settings_.hostsPath, settings_.keepHostsFile);
}

void Filtering::setPausedMenus(bool paused) {
    items_.pause.setEnabled(!paused);
    items_.resume.setEnabled(paused);
}

void Filtering::pause() {
    paused_ = true;
    responder_.close();
    giveBackHostsFile();
    setPausedMenus(true);
    // The paused picture is the floating counter's icon: taking it loads that window, hidden.
    counter_.loadFloater();
    services_.tray.setPicture(platform::TrayPicture::Paused);
}

void Filtering::resume() {
    makeHostsFile();
    startListening();
    setPausedMenus(false);
    services_.tray.setPicture(platform::TrayPicture::Running);
    paused_ = false;
}

void Filtering::exit() {
    // From here on nothing writes the entries again: a list download that finishes while a
    // failing give-back shows its message must not put back what was just taken out.
    ending_ = true;
    // Paused, the file already is the user's again: writing it only to take it back could fail
    // halfway (another server on the port) and leave the entries behind.
    if (!paused_) {
        giveBackHostsFile();
    }
    services_.tray.remove();
    services_.process.endProgram();
}

void Filtering::sessionEnding() {
    // Before start-up has touched the HOSTS file there is nothing to give back.
    if (!hostsTouched_) {
        services_.process.endProgram();
    }
    exit();
}

void Filtering::giveBackQuietly() {
    // While paused the file is already the user's.
    if (hostsTouched_ && !paused_) {
        giveBackHostsFile();
    }
}

void Filtering::rewriteAndTell() {
    if (rewrite()) {
        services_.box.show(
            "Hosts file changed. You must restart your\r\nweb browser for "
            "changes to take effect.");
    }
}

bool Filtering::rewrite() {
    if (paused_ || ending_) {
        return false;
    }
    giveBackHostsFile();
    return makeHostsFile();
}

}  // namespace tessel::app
