#include "platform/linux/Privileges.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "core/ProgramPaths.h"
#include "platform/linux/LoopbackSocket.h"

namespace tessel::platform {
namespace {

// A port taken by another program still says the bind itself is allowed.
bool mayBindHttp() {
    int error = 0;
    const int fd = listenOnLoopback(80, error);
    if (fd >= 0) {
        ::close(fd);
    }
    return fd >= 0 || error == EADDRINUSE;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

bool mayFilterAlone() {
    return ::geteuid() == 0 || (::access(core::kSystemHostsPath, W_OK) == 0 && mayBindHttp());
}

std::string userName() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr ? entry->pw_name : std::to_string(::getuid());
}

std::string configHome() {
    return core::configHome(environment("XDG_CONFIG_HOME"), environment("HOME"));
}

std::string programDirectory() {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string path(self, static_cast<std::size_t>(length > 0 ? length : 0));
    return core::parentDirectory(path);
}

std::string userFilesOf(const std::string& programDirectory) {
    const core::ProgramPaths shipped{programDirectory};
    return ::access(shipped.data().c_str(), W_OK) == 0 ? std::string() : configHome() + "/tessel";
}

std::string userFilesFor(const std::string& programDirectory) {
    const core::ProgramPaths shipped{programDirectory};
    const core::ProgramPaths own{programDirectory, userFilesOf(programDirectory)};
    if (own.userFiles.empty()) {
        return {};
    }
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::create_directories(own.files(), ignored);
    // A file the user already has is kept; one that cannot be copied is reported where it is read.
    fs::copy_file(shipped.list(), own.list(), fs::copy_options::skip_existing, ignored);
    fs::copy_file(shipped.prefs(), own.prefs(), fs::copy_options::skip_existing, ignored);
    return own.files();
}

}  // namespace tessel::platform
