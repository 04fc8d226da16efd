#include "platform/linux/AbstractSocketInstance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace tessel::platform {

AbstractSocketInstance::AbstractSocketInstance(std::string name) : name_(std::move(name)) {}

AbstractSocketInstance::~AbstractSocketInstance() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool AbstractSocketInstance::previousInstance() {
    if (fd_ >= 0) {
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;  // Cannot tell: let this instance run rather than refuse to start.
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name_.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name_.data(), length);
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
        const bool taken = errno == EADDRINUSE;
        ::close(fd);
        return taken;
    }
    fd_ = fd;
    return false;
}

}  // namespace tessel::platform
