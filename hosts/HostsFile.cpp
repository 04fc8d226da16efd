#include "hosts/HostsFile.h"

#include <cerrno>

#include "core/HostsText.h"

namespace tessel::hosts {
namespace {

core::Outcome failed(core::Failure failure, const platform::Status& status, std::string file) {
    return {failure, status.error(), status.number(), 0, std::move(file)};
}

}  // namespace

HostsFile::HostsFile(platform::FileSystem& files, core::ProgramPaths paths, std::string hostName)
    : files_(files), paths_(std::move(paths)), hostName_(std::move(hostName)) {}

std::string HostsFile::listPath() const {
    return paths_.list();
}

std::string HostsFile::savedPath() const {
    if (!savedPath_.empty()) {
        return savedPath_;
    }
    return paths_.savedHosts();
}

core::Outcome HostsFile::makeHostsFile(const std::string& hostsPath, bool keep) {
    core::Merged merged;
    if (auto outcome = mergedList(merged); !outcome.ok()) {
        return outcome;
    }
    return writeList(hostsPath, keep, merged.list, merged.names);
}

core::Outcome HostsFile::mergedList(core::Merged& merged) {
    auto list = files_.readFile(listPath());
    if (!list.ok()) {
        return failed(core::Failure::ListUnreadable, list.status, listPath());
    }
    // A million names are tens of megabytes: the bytes move on, never copied.
    merged = merge(std::move(list.bytes));
    return {};
}

core::Merged HostsFile::merge(std::string list) const {
    return names_ ? names_(std::move(list)) : core::Merged{std::move(list), {}, 0};
}

core::Outcome HostsFile::writeList(const std::string& hostsPath, bool keep, const std::string& list,
                                   const std::string& names) {
    if (!keep) {
        return writeReplaceMode(hostsPath, list, names);
    }
    // The append is made as a whole new file (the old bytes plus the block), never in place.
    auto current = files_.readFile(hostsPath);
    platform::Status status = current.status;
    if (current.missing) {
        status = {};  // a missing file is created
    }
    if (status.ok()) {
        // A block a crash or an earlier write left is taken out first: the file holds one block
        // however often it is written.
        std::optional<std::string> own;
        if (!core::isReplaceModeFile(current.bytes)) {
            own = core::restoreKeepMode(current.bytes);
        }
        status = files_.writePieces(hostsPath,
                                    core::keepModePieces(own ? *own : current.bytes, list, names));
    }
    if (!status.ok()) {
        return failed(core::Failure::CannotAppend, status, hostsPath);
    }
    written_ = Written::Keep;
    return {};
}

// The file as it is now, to be given back later. A file that already is Tessel's is a leftover
// whose original is gone: what it carried of the machine's own lines is the best there is.
std::optional<core::SavedHosts> HostsFile::snapshot(const std::string& hostsPath,
                                                    platform::Status& status) {
    const auto current = files_.readFile(hostsPath);
    if (current.missing) {
        return core::SavedHosts{hostsPath, false, 0, 0, 0, {}};
    }
    const auto ownership = files_.ownership(hostsPath);
    if (!current.ok() || !ownership) {
        status = current.ok() ? platform::Status::failure("No such file or directory", ENOENT)
                              : current.status;
        return std::nullopt;
    }
    core::SavedHosts saved{hostsPath,       true,         ownership->owner, ownership->group,
                           ownership->mode, current.bytes};
    // Even when it carries no such line, a file was there: giving back means leaving one, never
    // deleting the machine's HOSTS file.
    if (core::isReplaceModeFile(current.bytes)) {
        saved.bytes = core::carriedMachineLines(current.bytes);
    }
    return saved;
}

core::Outcome HostsFile::writeReplaceMode(const std::string& hostsPath, const std::string& list,
                                          const std::string& names) {
    platform::Status status;
    auto saved = savedCopy(status);
    // A copy that is there but cannot be read now is never written over with the current file.
    const bool copied = !saved && status.ok();
    if (copied) {
        saved = snapshot(hostsPath, status);
        if (saved) {
            status = files_.writeFile(savedPath(), core::formatSavedHosts(*saved));
        }
    }
    if (status.ok()) {
        const std::string machine = core::machineLines(saved->bytes, hostName_, list);
        status = files_.writePieces(hostsPath, core::replaceModePieces(list, machine, names));
        if (status.ok()) {
            written_ = Written::Replace;
            return {};
        }
        if (copied && unchanged(hostsPath, *saved)) {
            (void)files_.removeFile(savedPath());  // nothing was replaced
        }
    }
    return failed(core::Failure::CannotCreate, status, hostsPath);
}

// A write that failed may still have changed the file (an in-place rewrite cut short, finished
// at the next start): its kept copy then stays, to be given back.
bool HostsFile::unchanged(const std::string& hostsPath, const core::SavedHosts& saved) {
    const auto current = files_.readFile(hostsPath);
    return saved.existed ? current.ok() && current.bytes == saved.bytes : current.missing;
}

std::optional<core::SavedHosts> HostsFile::savedCopy(platform::Status& status) {
    const auto record = files_.readFile(savedPath());
    if (!record.ok() && !record.missing) {
        status = record.status;
    }
    return record.ok() ? core::parseSavedHosts(record.bytes) : std::nullopt;
}

// Only a file that still is Tessel's is replaced: one the user or another program has put there
// since is theirs to keep.
platform::Status HostsFile::putBack(const core::SavedHosts& saved) {
    const auto current = files_.readFile(saved.hostsPath);
    if (!current.ok() && !current.missing) {
        return current.status;
    }
    platform::Status status;
    if (saved.existed && (current.missing || core::isReplaceModeFile(current.bytes))) {
        status =
            files_.writeFile(saved.hostsPath, saved.bytes, {saved.owner, saved.group, saved.mode});
    } else if (!saved.existed && current.ok() && core::isReplaceModeFile(current.bytes)) {
        status = files_.removeFile(saved.hostsPath);
    }
    if (status.ok()) {
        (void)files_.removeFile(savedPath());
    }
    return status;
}

std::optional<core::Outcome> HostsFile::putBackKeptCopy() {
    platform::Status unread;
    const auto saved = savedCopy(unread);
    if (!saved) {
        return std::nullopt;
    }
    const auto status = putBack(*saved);
    return status.ok() ? core::Outcome{}
                       : failed(core::Failure::CannotGiveBack, status, saved->hostsPath);
}

core::Outcome HostsFile::giveBackLeftCopy() {
    return putBackKeptCopy().value_or(core::Outcome{});
}

core::Outcome HostsFile::giveBackHostsFile(const std::string& hostsPath, bool keep) {
    const Written written = written_;
    written_ = Written::Nothing;
    if (auto outcome = putBackKeptCopy()) {
        return *outcome;
    }
    if (written == Written::Replace) {
        return {core::Failure::CopyGone, {}, 0, 0, hostsPath};
    }
    if (written == Written::Nothing && !keep) {
        return {};
    }
    const auto current = files_.readFile(hostsPath);
    if (written == Written::Nothing && current.missing) {
        return {};  // nothing of Tessel's can be in a file that is not there
    }
    platform::Status status = current.status;
    if (status.ok()) {
        if (const auto restored = core::restoreKeepMode(current.bytes)) {
            status = files_.writeFile(hostsPath, *restored);
        }
    }
    return status.ok() ? core::Outcome{}
                       : failed(core::Failure::CannotRemoveText, status, hostsPath);
}

}  // namespace tessel::hosts
