#include "platform/linux/InPlaceWrite.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "core/ProgramPaths.h"

namespace tessel::platform {

Status errnoStatus(int error) {
    return Status::failure(std::strerror(error), error);
}

namespace {

Status writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errnoStatus(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

// Writes every piece of the content, stopping at the first failure; each slice written is then
// passed to `wrote` with its offset.
Status writeAllPieces(int fd, const core::Pieces& content,
                      const std::function<void(off_t, std::size_t)>& wrote = {}) {
    constexpr std::size_t kSlice = std::size_t{4} << 20;
    Status status;
    off_t offset = 0;
    content.write([&](std::string_view piece) {
        while (status.ok() && !piece.empty()) {
            const std::string_view slice = piece.substr(0, kSlice);
            status = writeAll(fd, slice);
            if (status.ok() && wrote) {
                wrote(offset, slice.size());
            }
            offset += static_cast<off_t>(slice.size());
            piece.remove_prefix(slice.size());
        }
    });
    return status;
}

}  // namespace

// A file that is synced afterwards is handed to the disk a few megabytes at a time, as soon as
// they are written: the final fdatasync then finds most of a big HOSTS file on disk already
// instead of starting on all of it, which roughly halves the time of a durable write.
Status writeAndStartWriteback(int fd, const core::Pieces& content) {
    constexpr off_t kBatch = off_t{4} << 20;
    off_t started = 0;
    return writeAllPieces(fd, content, [&](off_t offset, std::size_t size) {
        const off_t end = offset + static_cast<off_t>(size);
        if (end - started >= kBatch) {
            // Only advice: a failure to start early shows up, if it matters, at fdatasync.
            ::sync_file_range(fd, started, end - started, SYNC_FILE_RANGE_WRITE);
            started = end;
        }
    });
}

Status giveOwnership(int fd, const Ownership& ownership) {
    if ((::fchown(fd, ownership.owner, ownership.group) != 0 && errno != EPERM) ||
        ::fchmod(fd, ownership.mode & 07777) != 0) {
        return errnoStatus(errno);
    }
    return {};
}

// A rename or an unlink lasts through a power cut only once its directory is synced.
Status syncDirectory(const std::string& directory) {
    Fd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || (::fsync(fd.get()) != 0 && errno != EINVAL)) {
        return errnoStatus(errno);
    }
    return {};
}

// A file that cannot be renamed over (a bind mount answers EBUSY) is rewritten in place, but only
// from content that is whole: in memory, or made by a writer that cannot fail halfway. The room for
// it is claimed before the first old byte is touched, so a full disk fails the write while the old
// file is still whole (a file system that cannot claim room ahead says so, and the write goes on
// without); the old bytes are then overwritten and the rest cut off, never emptied first.
// `touched` says whether a failure came after the first old byte was overwritten: only then is the
// file torn.
Status writeInPlace(const std::string& path, const core::Pieces& content,
                    const Ownership* ownership, bool* touched) {
    Fd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return errnoStatus(errno);
    }
    if (ownership != nullptr) {
        if (Status status = giveOwnership(fd.get(), *ownership); !status.ok()) {
            return status;
        }
    }
    const auto size = static_cast<off_t>(content.size);
    if (size != 0 && ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) {
        return errnoStatus(errno);
    }
    if (touched != nullptr) {
        *touched = true;
    }
    if (Status status = writeAllPieces(fd.get(), content); !status.ok()) {
        return status;
    }
    if (::ftruncate(fd.get(), size) != 0) {
        return errnoStatus(errno);
    }
    if (::fdatasync(fd.get()) != 0) {
        return errnoStatus(errno);
    }
    if (fd.release() != 0) {
        return errnoStatus(errno);
    }
    return {};
}

// A target that refuses the rename (a bind mount answers EBUSY) is rewritten in place. The synced
// temporary stays beside it under a name that says which file it is for, until the rewrite is
// synced, so a kill in the middle never costs a byte: removeLeftovers writes it again.
Status rewriteFromRedo(const std::string& temporary, const std::string& path,
                       const core::Pieces& content, const Ownership* ownership) {
    const std::string directory = core::parentDirectory(path);
    const std::string redo =
        directory + "/" + std::string(kRedoPrefix) + path.substr(path.rfind('/') + 1);
    // Never over a copy a cut rewrite left: that one may hold the only whole bytes there are.
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, redo.c_str(), RENAME_NOREPLACE) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return errnoStatus(error);
    }
    if (Status status = syncDirectory(directory); !status.ok()) {
        ::unlink(redo.c_str());
        return status;
    }
    // A rewrite that failed after its first byte leaves the file torn: the copy stays, and the
    // next start finishes it. One that failed before (a full disk, a read-only file) left the old
    // file whole, which is what it reported.
    bool touched = false;
    Status status = writeInPlace(path, content, ownership, &touched);
    if (status.ok() || !touched) {
        ::unlink(redo.c_str());
    }
    return status;
}

}  // namespace tessel::platform
