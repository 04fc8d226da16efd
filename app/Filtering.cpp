#include "app/Filtering.h"

#include <array>
#include <memory>

#include "core/HelperProtocol.h"
#include "core/ProgramPaths.h"

namespace tessel::app {

using core::Failure;

std::string hostsMessage(const core::Outcome& outcome) {
    const std::string& error = outcome.error;
    switch (outcome.failure) {
        case Failure::None:
            return {};
        case Failure::ListUnreadable:
            return "Error opening badHosts.dat: " + error;
        case Failure::CannotCreate:
            return "Error creating HOSTS file: " + error +
                   ".\r\nYou either need to change your HOSTS path, or prefs.dat "
                   "could\r\nbe corrupted. Do you want to recreate prefs.dat?";
        case Failure::CannotListen:
            return "Error listening to WinSock: " + error;
        case Failure::CannotAppend:
            return "Error appending to your existing HOSTS file: " + error + "\r\nExiting Tessel.";
        case Failure::CannotGiveBack:
            return "Error deleting HOSTS file: " + error + "\r\nExiting anyway.";
        case Failure::CopyGone:
            return "Error deleting HOSTS file: the copy kept of the file it replaced is gone, so "
                   "Tessel's entries are still in " +
                   outcome.file + ".\r\nExiting anyway.";
        case Failure::CannotRemoveText:
            return "Error removing text from HOSTS file: " + error + "\r\nExiting anyway.";
        case Failure::Refused:
        case Failure::LinkLost:
            return error + ".\r\nExiting Tessel.";
    }
    return error;
}

Filtering::Filtering(const Services& services, const ui::MenuItems& items, const Settings& settings,
                     hosts::HostsWriter& hosts, responder::Responder& responder, Counter& counter,
                     std::function<bool()> recreatePrefsFile)
    : services_(services),
      items_(items),
      settings_(settings),
      hosts_(hosts),
      responder_(responder),
      counter_(counter),
      recreatePrefsFile_(std::move(recreatePrefsFile)) {}

bool Filtering::start() {
    removeLeftovers();
    if (!tell(hosts_.giveBackLeftCopy()) || !startListening()) {
        return false;
    }
    hostsTouched_ = true;
    makeHostsFile();
    if (services_.process.ending()) {
        return false;
    }
    services_.tray.add(platform::TrayPicture::Running, "Tessel");
    services_.zorder.setTopmost(platform::WindowId::Main, true);
    return true;
}

void Filtering::removeLeftovers() {
    services_.files.removeLeftovers(services_.process.paths().files());
    (void)services_.files.removeLeftoversOf(settings_.hostsPath, std::nullopt);
}

bool Filtering::startListening() {
    const auto error = responder_.startListening();
    if (!error) {
        return true;
    }
    if (error->ends) {
        // Nothing can be given back through a helper that is gone, but the user is told.
        services_.box.show(error->description + "\r\nExiting Tessel.");
    } else if (error->number == platform::kAddressInUseNumber) {
        services_.box.show("Sorry, port 80 is being used by another application!",
                           platform::Buttons::Ok, platform::Icon::Exclamation, "Port Conflict");
        giveBackHostsFile();
    } else {
        services_.box.show(hostsMessage({Failure::CannotListen, error->description}));
        giveBackHostsFile();
    }
    // The program ends after the message: the machine has its file back first.
    endProgram(services_);
    return false;
}

bool Filtering::tell(const core::Outcome& outcome) {
    if (outcome.ok()) {
        if (outcome.skipped != 0) {
            services_.box.show(
                std::to_string(outcome.skipped) + " line(s) of badHosts.dat were left out of " +
                outcome.file +
                ": a line may not hold a line break or a NUL byte, nor be longer than " +
                std::to_string(core::kMaxLineLength) + " bytes.");
        }
        return true;
    }
    const bool asks = outcome.failure == Failure::CannotCreate;
    const auto answer = services_.box.show(hostsMessage(outcome),
                                           asks ? platform::Buttons::YesNo : platform::Buttons::Ok);
    if (outcome.ends()) {
        endProgram(services_);
        return false;
    }
    return !(answer == platform::Answer::Yes && recreatePrefsFile_ && recreatePrefsFile_());
}

bool Filtering::makeHostsFile() {
    // Once the program ends nothing writes the entries again.
    if (services_.process.ending()) {
        return false;
    }
    const auto outcome = hosts_.makeHostsFile(settings_.hostsPath, settings_.keepHostsFile);
    tell(outcome);
    return outcome.ok();
}

void Filtering::giveBackHostsFile() {
    tell(hosts_.giveBackHostsFile(settings_.hostsPath, settings_.keepHostsFile));
}

void Filtering::setPausedMenus(bool paused) {
    items_.pause.setEnabled(!paused);
    items_.resume.setEnabled(paused);
}

void Filtering::pause() {
    finishWrites();
    paused_ = true;
    responder_.close();
    giveBackHostsFile();
    if (services_.process.ending()) {
        return;
    }
    setPausedMenus(true);
    // The paused picture is the floating counter's icon: taking it loads that window, hidden.
    counter_.loadFloater();
    services_.tray.setPicture(platform::TrayPicture::Paused);
}

void Filtering::resume() {
    finishWrites();
    makeHostsFile();
    if (services_.process.ending() || !startListening()) {
        return;
    }
    setPausedMenus(false);
    services_.tray.setPicture(platform::TrayPicture::Running);
    paused_ = false;
}

void Filtering::exit() {
    // From here on nothing writes the entries again: a list download that finishes while a
    // failing give-back shows its message must not put back what was just taken out.
    ending_ = true;
    finishWrites();
    // Paused, the file already is the user's again: writing it only to take it back could fail
    // halfway (another server on the port) and leave the entries behind.
    if (!paused_) {
        giveBackHostsFile();
    }
    endProgram(services_);
}

void Filtering::sessionEnding() {
    // Before start-up has touched the HOSTS file there is nothing to give back.
    if (!hostsTouched_) {
        endProgram(services_);
        return;
    }
    exit();
}

void Filtering::giveBackQuietly() {
    finishWrites();
    // While paused the file is already the user's.
    if (hostsTouched_ && !paused_) {
        giveBackHostsFile();
    }
}

void Filtering::rewriteAndTell() {
    rewrite([this] {
        services_.box.show(
            "Hosts file changed. You must restart your\r\nweb browser for "
            "changes to take effect.");
    });
}

void Filtering::rewrite(std::function<void()> written) {
    if (paused_ || ending_) {
        return;
    }
    // What the window's thread may change meanwhile is read now; the writer itself is the
    // worker's until its job is done, since every other step waits for it (finishWrites).
    auto outcomes = std::make_shared<std::array<core::Outcome, 2>>();
    services_.worker.post(
        [this, outcomes, path = settings_.hostsPath, keep = settings_.keepHostsFile] {
            (*outcomes)[0] = hosts_.giveBackHostsFile(path, keep);
            if (!(*outcomes)[0].ends()) {
                (*outcomes)[1] = hosts_.makeHostsFile(path, keep);
            }
        },
        [this, outcomes, written = std::move(written)] {
            const auto& [givenBack, made] = *outcomes;
            if (tell(givenBack) && !services_.process.ending() && tell(made) && made.ok() &&
                written) {
                written();
            }
        });
}

// A rewrite on its way is seen through, and told, before anything else touches the file.
void Filtering::finishWrites() {
    services_.worker.finish();
}

}  // namespace tessel::app
