#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/SavedHosts.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace tessel::hosts {

// Writes the HOSTS file and gives it back, reporting every failure itself. The HOSTS path and the
// mode are the caller's members, read at each call. Before replace mode first writes a file, the
// file as it was is kept beside the server list until it is given back, so a kill in between
// still leaves it to the next start.
class HostsFile final {
public:
    HostsFile(platform::MessageBox& box, platform::FileSystem& files, platform::Process& process,
              std::function<void()> recreatePrefsFile);
    HostsFile(const HostsFile&) = delete;
    HostsFile& operator=(const HostsFile&) = delete;

    std::string listPath() const;
    std::string savedPath() const;

    // Points every listed server at the local machine, replacing or appending as `keep` says;
    // false when the file was left as it was.
    bool makeHostsFile(const std::string& hostsPath, bool keep);
    // Gives the machine back the file as it was before it was written: the kept copy in replace
    // mode, the user's own lines in keep mode. It follows the mode the file was written in, and
    // never touches a file in replace mode that was not written. A failure ends the program, so
    // a return means success.
    void giveBackHostsFile(const std::string& hostsPath, bool keep);
    // Puts the kept copy back, as after a run killed while filtering; false when there is none.
    bool giveBackLeftCopy();

private:
    enum class Written { Nothing, Keep, Replace };

    std::optional<SavedHosts> savedCopy();
    std::optional<SavedHosts> snapshot(const std::string& hostsPath, std::string& error);
    platform::Status putBack(const SavedHosts& saved);
    bool writeReplaceMode(const std::string& hostsPath, const std::string& list);
    void reportReplaceFailure(const std::string& error);
    void failGivingBack(const std::string& lead, const std::string& error);

    platform::MessageBox& box_;
    platform::FileSystem& files_;
    platform::Process& process_;
    std::function<void()> recreatePrefsFile_;
    Written written_ = Written::Nothing;
};

}  // namespace tessel::hosts
