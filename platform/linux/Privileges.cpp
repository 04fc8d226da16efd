#include "platform/linux/Privileges.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "core/ProgramPaths.h"

namespace tessel::platform {
namespace {

// A port taken by another program still says the bind itself is allowed.
bool mayBindHttp() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(80);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const bool allowed = bound || errno == EADDRINUSE;
    ::close(fd);
    return allowed;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

bool mayFilterAlone() {
    return ::geteuid() == 0 || (::access(kSystemHostsPath, W_OK) == 0 && mayBindHttp());
}

std::string userName() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr ? entry->pw_name : std::to_string(::getuid());
}

std::string userFilesFor(const std::string& programDirectory) {
    const ProgramPaths shipped{programDirectory};
    if (::access(shipped.data().c_str(), W_OK) == 0) {
        return {};
    }
    const ProgramPaths own{
        programDirectory, userConfigDirectory(environment("XDG_CONFIG_HOME"), environment("HOME"))};
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::create_directories(own.files(), ignored);
    // A file the user already has is kept; one that cannot be copied is reported where it is read.
    fs::copy_file(shipped.list(), own.list(), fs::copy_options::skip_existing, ignored);
    fs::copy_file(shipped.prefs(), own.prefs(), fs::copy_options::skip_existing, ignored);
    return own.files();
}

}  // namespace tessel::platform
