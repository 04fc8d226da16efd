#include "platform/linux/Frames.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/HelperProtocol.h"

namespace tessel::platform {
namespace {

// A peer that is gone must end the exchange, not the process: no SIGPIPE.
bool sendAll(int socket, std::string_view bytes, int passed) {
    while (!bytes.empty()) {
        iovec part{const_cast<char*>(bytes.data()), bytes.size()};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        if (passed >= 0) {
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            cmsghdr* header = CMSG_FIRSTHDR(&message);
            header->cmsg_level = SOL_SOCKET;
            header->cmsg_type = SCM_RIGHTS;
            header->cmsg_len = CMSG_LEN(sizeof(int));
            std::memcpy(CMSG_DATA(header), &passed, sizeof(int));
        }
        const ssize_t sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
        passed = -1;
    }
    return true;
}

// Every descriptor that arrives is taken: the first is kept in `received`, any more are closed.
void takeDescriptors(msghdr& message, int* received) {
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) {
            continue;
        }
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
            if (received != nullptr && *received < 0) {
                *received = fd;
            } else {
                ::close(fd);
            }
        }
    }
}

bool receiveAll(int socket, char* into, std::size_t size, int* received) {
    while (size > 0) {
        iovec part{into, size};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)] = {};
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
        if (got < 0 && errno == EINTR) {
            return false;  // a signal ends the wait: the caller decides what follows
        }
        if (got <= 0) {
            return false;
        }
        takeDescriptors(message, received);
        into += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// The room grows with the bytes that arrive, never far ahead of them: a header alone cannot make
// the receiver clear the largest body there is.
std::optional<std::string> receiveBody(int socket, std::size_t size, int* received) {
    constexpr std::size_t kFirstPart = std::size_t{64} << 10;
    std::string body;
    while (body.size() < size) {
        const std::size_t have = body.size();
        const std::size_t part = std::min(size - have, std::max(kFirstPart, have));
        body.resize(have + part);
        if (!receiveAll(socket, body.data() + have, part, received)) {
            return std::nullopt;
        }
    }
    return body;
}

}  // namespace

bool sendFrame(int socket, std::string_view body, int passed) {
    return sendAll(socket, core::frame(body), passed);
}

std::optional<std::string> receiveFrame(int socket, int* received) {
    int fd = -1;
    std::string header(core::kFrameHeaderSize, '\0');
    std::optional<std::string> body;
    if (receiveAll(socket, header.data(), header.size(), &fd)) {
        if (const auto size = core::bodySize(header)) {
            body = receiveBody(socket, *size, &fd);
        }
    }
    if (received != nullptr && body) {
        *received = fd;
    } else if (fd >= 0) {
        ::close(fd);
    }
    return body;
}

}  // namespace tessel::platform
