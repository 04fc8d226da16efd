#include "platform/linux/PosixFileSystem.h"

#include "core/ProgramPaths.h"
#include "platform/linux/HugePages.h"
#include "platform/linux/InPlaceWrite.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>

namespace tessel::platform {
namespace {

// Where the bytes go: a symbolic link (/etc/hosts is one on some distributions) stays a link and
// its target is replaced; renaming over the link itself would turn it into a plain file.
std::string writeTarget(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        return path;
    }
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string randomTemporaryName(const std::string& directory) {
    constexpr std::string_view kLetters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    std::string name = directory + "/" + std::string(kTemporaryPrefix);
    for (int i = 0; i < 6; ++i) {
        name += kLetters[pick(random)];
    }
    return name;
}

// A temporary beside the target, created with 0666 as open() creates any new file, so the kernel
// takes the umask off: a new HOSTS file is readable by every user's resolver, where mkostemp would
// make it 0600. Its name is the prefix and six random characters, as removeLeftovers expects.
int createTemporary(const std::string& directory, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = randomTemporaryName(directory);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;  // errno still says EEXIST
}

// A temporary without a name: nobody can open it before it has its owner and its bytes. A
// privileged writer running as a user creates files as that user, who could otherwise open the
// named temporary in the moment before it becomes root's, keep it open and write what they like
// into the HOSTS file later. -1 where the file system has no unnamed files.
int createUnnamedTemporary(const std::string& directory) {
    return ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

// Gives a whole unnamed temporary its name beside the target, for the rename.
bool nameTemporary(int fd, const std::string& directory, std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = randomTemporaryName(directory);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

Status writeTemporary(int fd, const Ownership* target, const core::Pieces& content) {
    // Keep the target's owner and permissions.
    if (target != nullptr) {
        if (Status status = giveOwnership(fd, *target); !status.ok()) {
            return status;
        }
    }
    if (Status status = writeAndStartWriteback(fd, content); !status.ok()) {
        return status;
    }
    if (::fdatasync(fd) != 0) {
        return errnoStatus(errno);
    }
    return {};
}

// Renames the whole temporary over the target; a target that refuses (a bind mount answers EBUSY)
// is rewritten in place.
Status moveInto(const std::string& temporary, const std::string& path, const core::Pieces& content,
                const Ownership* wanted) {
    if (::rename(temporary.c_str(), path.c_str()) == 0) {
        return syncDirectory(core::parentDirectory(path));
    }
    const int renameError = errno;
    if (renameError == EBUSY || renameError == EXDEV) {
        return rewriteFromRedo(temporary, path, content, wanted);
    }
    ::unlink(temporary.c_str());
    return errnoStatus(renameError);
}

// Writes the temporary without a name and names it once whole; nothing, and nothing left behind,
// where the file system has no unnamed files or there is no /proc to name one through.
std::optional<Status> writeUnnamed(const std::string& directory, const Ownership* ownership,
                                   const core::Pieces& content, std::string& temporary) {
    Fd fd(createUnnamedTemporary(directory));
    if (fd.get() < 0) {
        return std::nullopt;
    }
    if (Status status = writeTemporary(fd.get(), ownership, content); !status.ok()) {
        return status;
    }
    if (!nameTemporary(fd.get(), directory, temporary)) {
        return std::nullopt;
    }
    if (fd.release() != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return errnoStatus(error);
    }
    return Status{};
}

}  // namespace

Status PosixFileSystem::replaceFile(const std::string& path, const core::Pieces& content,
                                    const Ownership* wanted) const {
    struct stat target {};
    const bool exists = ::stat(path.c_str(), &target) == 0;
    if (exists && S_ISDIR(target.st_mode)) {
        return errnoStatus(EISDIR);
    }
    const Ownership kept{target.st_uid, target.st_gid, target.st_mode & 07777};
    const Ownership* ownership = wanted != nullptr ? wanted : exists ? &kept : nullptr;
    const std::string directory = core::parentDirectory(path);
    std::string temporary;
    if (auto unnamed = writeUnnamed(directory, ownership, content, temporary)) {
        return unnamed->ok() ? moveInto(temporary, path, content, wanted) : *unnamed;
    }
    if (temporaries_ == Temporaries::UnnamedOnly) {
        return Status::failure("no unnamed temporary file can be made in " + directory +
                               ", and a named one is not safe there");
    }
    Fd fd(createTemporary(directory, temporary));
    if (fd.get() < 0) {
        // A directory we may not create in can still hold a file we may write.
        if (errno == EACCES && exists) {
            return writeInPlace(path, content, wanted);
        }
        return errnoStatus(errno);
    }
    Status status = writeTemporary(fd.get(), ownership, content);
    if (status.ok() && fd.release() != 0) {
        status = errnoStatus(errno);
    }
    if (!status.ok()) {
        ::unlink(temporary.c_str());
        return status;
    }
    return moveInto(temporary, path, content, wanted);
}

namespace {

// The bytes are read straight into the result, not through a buffer: for a big HOSTS file the
// extra copy costs as much as the read. One byte past the size the file had: a file that grew
// meanwhile, or one that reports no size (as in /proc), is still read to its end, or to one byte
// past `limit`.
ReadResult readAll(int fd, const struct stat& info, std::size_t limit) {
    ReadResult result;
    std::string& bytes = result.bytes;
    const std::size_t expected =
        std::min(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)), limit) + 1;
    bytes.reserve(expected);
    preferHugePages(bytes.data(), bytes.capacity());
    bytes.resize(expected);
    std::size_t used = 0;
    while (used <= limit) {
        if (used == bytes.size()) {
            bytes.resize(std::min(std::max<std::size_t>(bytes.size() * 2, 1 << 16), limit + 1));
        }
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            // A file that cannot be read whole is never mistaken for a short or empty one.
            result.status = errnoStatus(errno);
            bytes.clear();
            return result;
        }
        if (got == 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    if (used > limit) {
        result.status = errnoStatus(EFBIG);
        bytes.clear();
    }
    return result;
}

ReadResult openFailed() {
    const int error = errno;
    return {errnoStatus(error), {}, error == ENOENT};
}

}  // namespace

ReadResult PosixFileSystem::readFile(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
        return openFailed();
    }
    if (S_ISDIR(info.st_mode)) {
        return {errnoStatus(EISDIR), {}, false};
    }
    return readAll(fd.get(), info, std::numeric_limits<std::size_t>::max() - 1);
}

ReadResult PosixFileSystem::readRegularFile(const std::string& path, std::size_t limit) {
    // Without blocking: opening a FIFO for reading would otherwise wait for a writer.
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
        return openFailed();
    }
    if (!S_ISREG(info.st_mode)) {
        return {Status::failure("not a regular file"), {}, false};
    }
    return readAll(fd.get(), info, limit);
}

Status PosixFileSystem::writeFile(const std::string& path, std::string_view bytes) {
    return replaceFile(writeTarget(path), core::Pieces::of(bytes), nullptr);
}

Status PosixFileSystem::writePieces(const std::string& path, const core::Pieces& content) {
    return replaceFile(writeTarget(path), content, nullptr);
}

Status PosixFileSystem::writeFile(const std::string& path, std::string_view bytes,
                                  const Ownership& ownership) {
    return replaceFile(writeTarget(path), core::Pieces::of(bytes), &ownership);
}

std::optional<Ownership> PosixFileSystem::ownership(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return Ownership{info.st_uid, info.st_gid, info.st_mode & 07777};
}

void PosixFileSystem::removeLeftovers(const std::string& directory) {
    (void)sweep(directory, {}, std::nullopt);
}

bool PosixFileSystem::removeLeftoversOf(const std::string& path, std::optional<unsigned> owner) {
    const std::string target = writeTarget(path);
    return sweep(core::parentDirectory(target),
                 std::string_view(target).substr(target.rfind('/') + 1), owner);
}

bool PosixFileSystem::sweep(const std::string& directory, std::string_view only,
                            std::optional<unsigned> owner) {
    DIR* listing = ::opendir(directory.c_str());
    if (listing == nullptr) {
        return errno == ENOENT;  // a directory that cannot be listed may hold a copy
    }
    bool finished = true;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        struct stat info {};
        if (!name.starts_with(kTemporaryPrefix) ||
            ::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode)) {
            continue;
        }
        if (name.starts_with(kRedoPrefix)) {
            const std::string_view target = name.substr(kRedoPrefix.size());
            if ((!only.empty() && target != only) || (owner && info.st_uid != *owner)) {
                continue;  // another file's, or one this writer did not make
            }
            // A rewrite in place that a kill cut short: its whole new content is here. The copy
            // goes only once the rewrite is whole and synced; until then every start tries again.
            const std::string path = directory + "/" + std::string(target);
            const ReadResult bytes = readFile(directory + "/" + std::string(name));
            if ((bytes.ok() && writeInPlace(path, core::Pieces::of(bytes.bytes)).ok()) ||
                (::access(path.c_str(), F_OK) != 0 && errno == ENOENT)) {
                ::unlinkat(::dirfd(listing), entry->d_name, 0);  // finished, or nothing to finish
            } else {
                finished = false;
            }
        } else if (name.size() == kTemporaryPrefix.size() + 6) {
            // Exactly the names our temporaries get: the prefix and six characters.
            ::unlinkat(::dirfd(listing), entry->d_name, 0);
        }
    }
    ::closedir(listing);
    return finished;
}

Status PosixFileSystem::removeFile(const std::string& path) {
    const std::string target = writeTarget(path);
    if (::unlink(target.c_str()) != 0) {
        return errnoStatus(errno);
    }
    return syncDirectory(core::parentDirectory(target));
}

bool PosixFileSystem::fileExists(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name.front() == '.') {
        return false;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace tessel::platform
