#pragma once

#include <unistd.h>

#include <string>
#include <string_view>

#include "core/Pieces.h"
#include "platform/FileSystem.h"

// The low layer of the POSIX file writer: whole writes to a descriptor, directory syncs, and the
// rewrite in place with its synced copy beside the file, for a file that cannot be renamed over.
namespace tessel::platform {

// The writer's temporaries start so; the synced new bytes of an in-place rewrite are named after
// the file they are for.
inline constexpr std::string_view kTemporaryPrefix = ".tessel-";
inline constexpr std::string_view kRedoPrefix = ".tessel-redo-";

Status errnoStatus(int error);

class Fd final {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    // Closing reports the last deferred write error (NFS, quota).
    int release() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

// Every piece, synced to the disk a few megabytes at a time as it is written.
Status writeAndStartWriteback(int fd, const core::Pieces& content);
Status syncDirectory(const std::string& directory);
// Gives the file this owner and these permissions; a non-root owner change may fail harmlessly.
Status giveOwnership(int fd, const Ownership& ownership);

// `touched`, where given, says whether a failure came after the first old byte was overwritten.
Status writeInPlace(const std::string& path, const core::Pieces& content,
                    const Ownership* ownership = nullptr, bool* touched = nullptr);
// Renames the synced `temporary` to the redo copy beside `path`, then rewrites `path` in place.
Status rewriteFromRedo(const std::string& temporary, const std::string& path,
                       const core::Pieces& content, const Ownership* ownership);

}  // namespace tessel::platform
