#include "hosts/HostsFile.h"

#include "core/HostsText.h"
#include "core/ProgramPaths.h"

namespace tessel::hosts {

HostsFile::HostsFile(platform::MessageBox& box, platform::FileSystem& files,
                     platform::Process& process, std::function<void()> recreatePrefsFile)
    : box_(box),
      files_(files),
      process_(process),
      recreatePrefsFile_(std::move(recreatePrefsFile)) {}

std::string HostsFile::listPath() const {
    return process_.paths().list();
}

std::string HostsFile::savedPath() const {
    if (!savedPath_.empty()) {
        return savedPath_;
    }
    return process_.paths().savedHosts();
}

bool HostsFile::makeHostsFile(const std::string& hostsPath, bool keep) {
    const auto merged = mergedList();
    return merged && writeList(hostsPath, keep, merged->list, merged->names);
}

std::optional<lists::Merged> HostsFile::mergedList() {
    auto list = files_.readFile(listPath());
    if (!list.ok()) {
        box_.show("Error opening badHosts.dat: " + list.status.error());
        return std::nullopt;
    }
    // A million names are tens of megabytes: the bytes move on, never copied.
    return merge(std::move(list.bytes));
}

lists::Merged HostsFile::merge(std::string list) const {
    return names_ ? names_(std::move(list)) : lists::Merged{std::move(list), {}, 0};
}

bool HostsFile::writeList(const std::string& hostsPath, bool keep, const std::string& list,
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
        if (!isReplaceModeFile(current.bytes)) {
            own = restoreKeepMode(current.bytes);
        }
        status =
            files_.writePieces(hostsPath, keepModePieces(own ? *own : current.bytes, list, names));
    }
    if (!status.ok()) {
        box_.show("Error appending to your existing HOSTS file: " + status.error() +
                  "\r\nExiting Tessel.");
        process_.endProgram();
    }
    written_ = Written::Keep;
    return true;
}

// The file as it is now, to be given back later. A file that already is Tessel's is a leftover
// whose original is gone: what it carried of the machine's own lines is the best there is.
std::optional<SavedHosts> HostsFile::snapshot(const std::string& hostsPath, std::string& error) {
    const auto current = files_.readFile(hostsPath);
    if (current.missing) {
        return SavedHosts{hostsPath, false, 0, 0, 0, {}};
    }
    const auto ownership = files_.ownership(hostsPath);
    if (!current.ok() || !ownership) {
        error = current.ok() ? "No such file or directory" : current.status.error();
        return std::nullopt;
    }
    SavedHosts saved{hostsPath,       true,         ownership->owner, ownership->group,
                     ownership->mode, current.bytes};
    // Even when it carries no such line, a file was there: giving back means leaving one, never
    // deleting the machine's HOSTS file.
    if (isReplaceModeFile(current.bytes)) {
        saved.bytes = carriedMachineLines(current.bytes);
    }
    return saved;
}

bool HostsFile::writeReplaceMode(const std::string& hostsPath, const std::string& list,
                                 const std::string& names) {
    std::string error;
    auto saved = savedCopy(&error);
    // A copy that is there but cannot be read now is never written over with the current file.
    const bool copied = !saved && error.empty();
    if (copied) {
        saved = snapshot(hostsPath, error);
        if (saved) {
            const auto status = files_.writeFile(savedPath(), formatSavedHosts(*saved));
            error = status.ok() ? std::string() : status.error();
        }
    }
    if (error.empty()) {
        const std::string machine = machineLines(saved->bytes, process_.hostName(), list);
        const auto status = files_.writePieces(hostsPath, replaceModePieces(list, machine, names));
        if (status.ok()) {
            written_ = Written::Replace;
            return true;
        }
        error = status.error();
        if (copied && unchanged(hostsPath, *saved)) {
            (void)files_.removeFile(savedPath());  // nothing was replaced
        }
    }
    reportReplaceFailure(error);
    return false;
}

// A write that failed may still have changed the file (an in-place rewrite cut short, finished
// at the next start): its kept copy then stays, to be given back.
bool HostsFile::unchanged(const std::string& hostsPath, const SavedHosts& saved) {
    const auto current = files_.readFile(hostsPath);
    return saved.existed ? current.ok() && current.bytes == saved.bytes : current.missing;
}

void HostsFile::reportReplaceFailure(const std::string& error) {
    const auto answer =
        box_.show("Error creating HOSTS file: " + error +
                      ".\r\nYou either need to change your HOSTS path, or prefs.dat "
                      "could\r\nbe corrupted. Do you want to recreate prefs.dat?",
                  platform::Buttons::YesNo);
    if (answer == platform::Answer::Yes && recreatePrefsFile_) {
        recreatePrefsFile_();
    }
}

std::optional<SavedHosts> HostsFile::savedCopy(std::string* error) {
    const auto record = files_.readFile(savedPath());
    if (!record.ok() && !record.missing && error != nullptr) {
        *error = record.status.error();
    }
    return record.ok() ? parseSavedHosts(record.bytes) : std::nullopt;
}

// Only a file that still is Tessel's is replaced: one the user or another program has put there
// since is theirs to keep.
platform::Status HostsFile::putBack(const SavedHosts& saved) {
    const auto current = files_.readFile(saved.hostsPath);
    if (!current.ok() && !current.missing) {
        return current.status;
    }
    platform::Status status;
    if (saved.existed && (current.missing || isReplaceModeFile(current.bytes))) {
        status =
            files_.writeFile(saved.hostsPath, saved.bytes, {saved.owner, saved.group, saved.mode});
    } else if (!saved.existed && current.ok() && isReplaceModeFile(current.bytes)) {
        status = files_.removeFile(saved.hostsPath);
    }
    if (status.ok()) {
        (void)files_.removeFile(savedPath());
    }
    return status;
}

void HostsFile::failGivingBack(const std::string& lead, const std::string& error) {
    box_.show(lead + error + "\r\nExiting anyway.");
    process_.endProgram();
}

bool HostsFile::giveBackLeftCopy() {
    const auto saved = savedCopy();
    if (!saved) {
        return false;
    }
    if (const auto status = putBack(*saved); !status.ok()) {
        failGivingBack("Error deleting HOSTS file: ", status.error());
    }
    return true;
}

void HostsFile::giveBackHostsFile(const std::string& hostsPath, bool keep) {
    const Written written = written_;
    written_ = Written::Nothing;
    if (giveBackLeftCopy()) {
        return;
    }
    if (written == Written::Replace) {
        failGivingBack("Error deleting HOSTS file: ",
                       "the copy kept of the file it replaced is gone, so Tessel's entries are "
                       "still in " +
                           hostsPath + ".");
    }
    if (written == Written::Nothing && !keep) {
        return;
    }
    const auto current = files_.readFile(hostsPath);
    if (written == Written::Nothing && current.missing) {
        return;  // nothing of Tessel's can be in a file that is not there
    }
    platform::Status status = current.status;
    if (status.ok()) {
        if (const auto restored = restoreKeepMode(current.bytes)) {
            status = files_.writeFile(hostsPath, *restored);
        }
    }
    if (!status.ok()) {
        failGivingBack("Error removing text from HOSTS file: ", status.error());
    }
}

}  // namespace tessel::hosts
