#include "helper/Hygiene.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace tessel::helper {
namespace {

// Enough for the link, the lock, two ports and a write's few files at once.
constexpr rlim_t kLeastDescriptors = 64;

void openStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            // The lowest free descriptor is this one; a failure leaves it closed, and the checks
            // that follow refuse or write nowhere.
            (void)::open("/dev/null", O_RDWR);
        }
    }
    if (::close_range(3, ~0U, 0) != 0) {
        // An older kernel: every descriptor the limit allows.
        const long most = ::sysconf(_SC_OPEN_MAX);
        for (long fd = 3; fd < (most > 0 ? most : 1024); ++fd) {
            ::close(static_cast<int>(fd));
        }
    }
}

// A disposition set to ignore survives exec: an ignored SIGXFSZ with a small file size limit would
// cut a write at a byte of the caller's choosing and let it go on.
void defaultSignals() {
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) {
            std::signal(signal, SIG_DFL);
        }
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

std::optional<Refusal> settleLimits() {
    rlimit size{};
    ::getrlimit(RLIMIT_FSIZE, &size);
    if (size.rlim_max != RLIM_INFINITY) {
        return Refusal{EFBIG, "its file size limit was lowered and cannot be lifted"};
    }
    size.rlim_cur = RLIM_INFINITY;
    ::setrlimit(RLIMIT_FSIZE, &size);
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_max < kLeastDescriptors) {
        return Refusal{EMFILE, "it may not open enough files"};
    }
    if (files.rlim_cur < kLeastDescriptors) {
        files.rlim_cur = kLeastDescriptors;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    return std::nullopt;
}

Refusal failed(const char* what) {
    const int error = errno;
    return {error, std::string(what) + ": " + std::strerror(error)};
}

// Made without a name, given to root and named only then: nobody can open it in between.
int createLockFile(const std::string& path) {
    const std::string directory = path.substr(0, path.rfind('/'));
    const int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        return -1;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::fchmod(fd, 0600) != 0 || ::fchown(fd, 0, 0) != 0 ||
        ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int openLockFile(const std::string& path) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) {
            return fd;
        }
        const int created = createLockFile(path);
        if (created >= 0 || errno != EEXIST) {
            return created;
        }
    }
    return -1;
}

}  // namespace

std::optional<Refusal> settleInheritance() {
    openStandardDescriptors();
    defaultSignals();
    ::umask(022);
    if (::geteuid() != ::getuid() || ::getegid() != ::getgid()) {
        return Refusal{EPERM, "it runs with another user's rights (a setuid or setgid copy)"};
    }
    // The helper never starts a program; nothing it runs may gain rights it does not hold.
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    return settleLimits();
}

std::optional<Refusal> lockForLife(const std::string& path) {
    // Deliberately never closed: the lock ends with the process.
    const int fd = openLockFile(path);
    if (fd < 0) {
        return failed(path.c_str());
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != 0 ||
        (info.st_mode & 077) != 0) {
        return Refusal{EPERM, path + " is not root's own file"};
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? Refusal{EWOULDBLOCK, "another tessel-helper is running"}
                                    : failed(path.c_str());
    }
    return std::nullopt;
}

void dropBindRight() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0) {
        return;
    }
    const unsigned bit = 1U << CAP_NET_BIND_SERVICE;  // in the first of the two words
    data[0].effective &= ~bit;
    data[0].permitted &= ~bit;
    data[0].inheritable &= ~bit;
    (void)::syscall(SYS_capset, &header, data);
}

}  // namespace tessel::helper
