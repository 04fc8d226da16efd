#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "core/BlockLists.h"
#include "core/ProgramPaths.h"
#include "core/SavedHosts.h"
#include "hosts/HostsWriter.h"
#include "platform/FileSystem.h"

namespace tessel::hosts {

// Writes the HOSTS file and gives it back. The HOSTS path and the mode are the caller's, given at
// each call. Before replace mode first writes a file, the
// file as it was is kept beside the server list until it is given back, so a kill in between
// still leaves it to the next start.
class HostsFile final : public HostsWriter {
public:
    // `hostName` is this machine's name: replace mode keeps the lines that name it.
    HostsFile(platform::FileSystem& files, core::ProgramPaths paths, std::string hostName);
    HostsFile(const HostsFile&) = delete;
    HostsFile& operator=(const HostsFile&) = delete;

    // What goes into the file given badHosts.dat's bytes: the lines the allow list leaves of them
    // and the subscribed names (see core::merge). Without one, the list alone is written.
    using NamesProvider = std::function<core::Merged(std::string list)>;
    void setNamesProvider(NamesProvider provider) { names_ = std::move(provider); }

    std::string listPath() const;
    std::string savedPath() const;
    // The kept copy lives here instead of beside the server list.
    void keepSavedCopyAt(std::string path) { savedPath_ = std::move(path); }

    core::Outcome makeHostsFile(const std::string& hostsPath, bool keep) override;
    // The same with the list's bytes and the subscribed names given (see core::merge) rather
    // than read from badHosts.dat and the provider.
    core::Outcome writeList(const std::string& hostsPath, bool keep, const std::string& list,
                            const std::string& names = {});
    // badHosts.dat's bytes as the provider leaves them, with the subscribed names.
    core::Merged merge(std::string list) const;
    // The same read from badHosts.dat into `merged`.
    core::Outcome mergedList(core::Merged& merged);
    // Gives back the kept copy in replace mode, the user's own lines in keep mode. It follows
    // the mode the file was written in, and never touches a file in replace mode that was not
    // written.
    core::Outcome giveBackHostsFile(const std::string& hostsPath, bool keep) override;
    core::Outcome giveBackLeftCopy() override;

private:
    enum class Written { Nothing, Keep, Replace };

    // The kept copy; nothing when there is none, with `status` failed when one may be there but
    // could not be read.
    std::optional<core::SavedHosts> savedCopy(platform::Status& status);
    std::optional<core::SavedHosts> snapshot(const std::string& hostsPath,
                                             platform::Status& status);
    // Nothing when there is no kept copy to put back.
    std::optional<core::Outcome> putBackKeptCopy();
    platform::Status putBack(const core::SavedHosts& saved);
    bool unchanged(const std::string& hostsPath, const core::SavedHosts& saved);
    core::Outcome writeReplaceMode(const std::string& hostsPath, const std::string& list,
                                   const std::string& names);

    platform::FileSystem& files_;
    core::ProgramPaths paths_;
    std::string hostName_;
    Written written_ = Written::Nothing;
    std::string savedPath_;
    NamesProvider names_;
};

}  // namespace tessel::hosts
