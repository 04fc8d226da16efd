#pragma once

#include <functional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace tessel::hosts {

// Writes and restores the HOSTS file, reporting every failure itself. The HOSTS path and the mode
// are the caller's members, read at each call.
class HostsFile final {
public:
    HostsFile(platform::MessageBox& box, platform::FileSystem& files, platform::Process& process,
              std::function<void()> recreatePrefsFile);

    std::string listPath() const;

    // Points every listed server at the local machine, replacing or appending as `keep` says.
    void makeHostsFile(const std::string& hostsPath, bool keep);
    // Gives the machine its HOSTS file back; a failure ends the program, so a return means success.
    void deleteHostsFile(const std::string& hostsPath, bool keep);

private:
    platform::MessageBox& box_;
    platform::FileSystem& files_;
    platform::Process& process_;
    std::function<void()> recreatePrefsFile_;
};

}  // namespace tessel::hosts
