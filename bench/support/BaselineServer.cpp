#include "bench/support/BaselineServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <span>

namespace tessel::bench {
namespace {

int openListener() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        return -1;
    }
    return fd;
}

// Reads what has come and closes once the request (or the end) is there; false while nothing
// has arrived yet.
bool drainAndClose(int fd, char* scratch, std::size_t size) {
    for (;;) {
        const ssize_t got = ::recv(fd, scratch, size, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got > 0 && static_cast<std::size_t>(got) == size) {
            continue;
        }
        if (got < 0 && errno == EAGAIN) {
            return false;
        }
        break;
    }
    ::close(fd);
    return true;
}

void acceptAll(int epoll, int listener, std::string_view reply, std::span<char> scratch) {
    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            return;
        }
        if (::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(reply.size())) {
            ::close(fd);  // never happens on loopback with a fresh socket; not worth a queue
            continue;
        }
        // The request has usually come with the connection: then there is nothing to register.
        if (drainAndClose(fd, scratch.data(), scratch.size())) {
            continue;
        }
        epoll_event interest{};
        interest.events = EPOLLIN;
        interest.data.fd = fd;
        if (::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &interest) != 0) {
            ::close(fd);
        }
    }
}

}  // namespace

void runBaselineServer(std::string_view reply, int readyFd) {
    const int listener = openListener();
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event interest{};
    interest.events = EPOLLIN;
    interest.data.fd = listener;
    if (listener < 0 || epoll < 0 || ::epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &interest) != 0) {
        return;
    }
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::uint16_t port = ntohs(address.sin_port);
    if (::write(readyFd, &port, sizeof port) != static_cast<ssize_t>(sizeof port)) {
        return;
    }
    std::array<epoll_event, 256> ready;
    std::array<char, 16 * 1024> scratch;
    for (;;) {
        const int count = ::epoll_wait(epoll, ready.data(), static_cast<int>(ready.size()), -1);
        for (int i = 0; i < count; ++i) {
            if (ready[i].data.fd == listener) {
                acceptAll(epoll, listener, reply, scratch);
            } else {
                drainAndClose(ready[i].data.fd, scratch.data(), scratch.size());
            }
        }
    }
}

}  // namespace tessel::bench
