#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "core/BlockLists.h"
#include "core/SavedHosts.h"
#include "hosts/HostsWriter.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace tessel::hosts {

// Writes the HOSTS file and gives it back, reporting every failure itself. The HOSTS path and the
// mode are the caller's members, read at each call. Before replace mode first writes a file, the
// file as it was is kept beside the server list until it is given back, so a kill in between
// still leaves it to the next start.
class HostsFile final : public HostsWriter {
public:
    HostsFile(platform::MessageBox& box, platform::FileSystem& files, platform::Process& process,
              std::function<void()> recreatePrefsFile);
    HostsFile(const HostsFile&) = delete;
    HostsFile& operator=(const HostsFile&) = delete;

    // What goes into the file given badHosts.dat's bytes: the lines the allow list leaves of them
    // and the subscribed names (see lists::merge). Without one, the list alone is written.
    using NamesProvider = std::function<lists::Merged(std::string list)>;
    void setNamesProvider(NamesProvider provider) { names_ = std::move(provider); }

    std::string listPath() const;
    std::string savedPath() const;
    // The kept copy lives here instead of beside the server list.
    void keepSavedCopyAt(std::string path) { savedPath_ = std::move(path); }

    bool makeHostsFile(const std::string& hostsPath, bool keep) override;
    // The same with the list's bytes and the subscribed names given (see lists::merge) rather
    // than read from badHosts.dat and the provider.
    bool writeList(const std::string& hostsPath, bool keep, const std::string& list,
                   const std::string& names = {});
    // badHosts.dat's bytes as the provider leaves them, with the subscribed names.
    lists::Merged merge(std::string list) const;
    // The same read from badHosts.dat; nothing, after saying why, when it cannot be read.
    std::optional<lists::Merged> mergedList();
    // Gives back the kept copy in replace mode, the user's own lines in keep mode. It follows
    // the mode the file was written in, and never touches a file in replace mode that was not
    // written.
    void giveBackHostsFile(const std::string& hostsPath, bool keep) override;
    bool giveBackLeftCopy() override;

private:
    enum class Written { Nothing, Keep, Replace };

    // The kept copy; nothing when there is none, with `error` set when one may be there but
    // could not be read.
    std::optional<SavedHosts> savedCopy(std::string* error = nullptr);
    std::optional<SavedHosts> snapshot(const std::string& hostsPath, std::string& error);
    platform::Status putBack(const SavedHosts& saved);
    bool unchanged(const std::string& hostsPath, const SavedHosts& saved);
    bool writeReplaceMode(const std::string& hostsPath, const std::string& list,
                          const std::string& names);
    void reportReplaceFailure(const std::string& error);
    void failGivingBack(const std::string& lead, const std::string& error);

    platform::MessageBox& box_;
    platform::FileSystem& files_;
    platform::Process& process_;
    std::function<void()> recreatePrefsFile_;
    Written written_ = Written::Nothing;
    std::string savedPath_;
    NamesProvider names_;
};

}  // namespace tessel::hosts
