#include "hosts/HostsFile.h"

#include "hosts/HostsText.h"

namespace tessel::hosts {

HostsFile::HostsFile(platform::MessageBox& box, platform::FileSystem& files,
                     platform::Process& process, std::function<void()> recreatePrefsFile)
    : box_(box),
      files_(files),
      process_(process),
      recreatePrefsFile_(std::move(recreatePrefsFile)) {}

std::string HostsFile::listPath() const {
    return process_.programDirectory() + "/data/badHosts.dat";
}

void HostsFile::makeHostsFile(const std::string& hostsPath, bool keep) {
    const auto list = files_.readFile(listPath());
    if (!list.ok()) {
        box_.show("Error opening badHosts.dat: " + list.status.error());
        return;
    }
    if (keep) {
        // The append is made as a whole new file (the old bytes plus the block), never in pieces.
        auto current = files_.readFile(hostsPath);
        platform::Status status = current.status;
        if (current.missing) {
            status = {};  // a missing file is created
        }
        if (status.ok()) {
            status = files_.writeFile(hostsPath, keepModeText(current.bytes, list.bytes));
        }
        if (!status.ok()) {
            box_.show("Error appending to your existing HOSTS file: " + status.error() +
                      "\r\nExiting Tessel.");
            process_.endProgram();
        }
        return;
    }
    const auto status = files_.writeFile(hostsPath, replaceModeText(list.bytes));
    if (status.ok()) {
        return;
    }
    const auto answer =
        box_.show("Error creating HOSTS file: " + status.error() +
                      ".\r\nYou either need to change your HOSTS path, or prefs.dat "
                      "could\r\nbe corrupted. Do you want to recreate prefs.dat?",
                  platform::Buttons::YesNo);
    if (answer == platform::Answer::Yes && recreatePrefsFile_) {
        recreatePrefsFile_();
    }
}

void HostsFile::deleteHostsFile(const std::string& hostsPath, bool keep) {
    if (!keep) {
        if (const auto status = files_.removeFile(hostsPath); !status.ok()) {
            box_.show("Error deleting HOSTS file: " + status.error() + "\r\nExiting anyway.");
            process_.endProgram();
        }
        return;
    }
    const auto current = files_.readFile(hostsPath);
    platform::Status status = current.status;
    if (status.ok()) {
        if (const auto restored = restoreKeepMode(current.bytes)) {
            status = files_.writeFile(hostsPath, *restored);
        }
    }
    if (!status.ok()) {
        box_.show("Error removing text from HOSTS file: " + status.error() + "\r\nExiting anyway.");
        process_.endProgram();
    }
}

}  // namespace tessel::hosts
