#include "app/HostsSettings.h"

#include "app/PathChecks.h"

namespace tessel::app {

using platform::Answer;

HostsSettings::HostsSettings(const Services& services, PrefsFile& prefs, Settings& settings,
                             std::string prefsFile)
    : services_(services), prefs_(prefs), settings_(settings), prefsFile_(std::move(prefsFile)) {}

void HostsSettings::changePath() {
    const auto chosen = chooseExistingFile(services_.box, services_.picker, settings_.hostsPath,
                                           platform::Icon::None);
    if (!chosen || !usableHostsPath(services_.box, services_.files, *chosen, settings_.hostsPath)) {
        return;
    }
    // The path in use stays until the next start, so exit restores the file at the old path.
    if (prefs_.outputHostsPath(*chosen, prefsFile_)) {
        services_.box.show(
            "Path changed. Please exit and re-open Tessel for changes to take effect.");
    }
}

void HostsSettings::keepOrReplace() {
    const bool keep = settings_.keepHostsFile;
    const char* question =
        keep ? "The current setting is set to keep the existing HOSTS file. This\r\n"
               "is only recommended if you have a custom HOSTS file you would like\r\n"
               "Tessel to keep when it is not running. Would you like Tessel to\r\n"
               "continue to keep your custom HOSTS file when it isn't running?"
             : "The current setting is set to replace the HOSTS file. This\r\n"
               "is usually safe for the computer, unless you have a custom\r\n"
               "HOSTS file you would like to use when Tessel is not running.\r\n"
               "Would you like Tessel to keep your custom HOSTS file when it\r\n"
               "isn't running?";
    const Answer answer = services_.box.show(question, platform::Buttons::YesNoCancel);
    if (!keep && answer == Answer::Yes) {
        prefs_.outputKeepHostsFile(true, prefsFile_, settings_.keepHostsFile);
    } else if (keep && answer == Answer::No) {
        prefs_.outputKeepHostsFile(false, prefsFile_, settings_.keepHostsFile);
    }
}

}  // namespace tessel::app
