#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessel::platform {

inline constexpr int kAddressInUseNumber = 10048;
// The system's error number of a failed listen as the listener reports it.
inline int listenErrorNumber(int number) {
    return number == EADDRINUSE ? kAddressInUseNumber : number;
}

struct ListenError final {
    int number = 0;  // kAddressInUseNumber when the port is taken
    std::string description;
    bool ends = false;  // nothing can listen any more: what handed out the sockets is gone
};

// A loopback TCP listener that answers each connection at once with a fixed reply, never reads
// the request, and closes the connection when the peer's first data arrives. Many connections
// are served at once; the listener keeps listening while it serves. A second, count-only port
// sends nothing: its connections are served, by the same rule, when their first data arrives.
class RedirectListener {
public:
    struct Events {
        // The bytes to send to a newly accepted connection; valid until the next call.
        std::function<std::string_view()> reply;
        // A connection's first data arrived and it was closed: one connection served.
        std::function<void()> served;
    };

    virtual ~RedirectListener() = default;
    virtual void setEvents(Events events) = 0;
    // Closes both ports first, then listens on this one.
    virtual std::optional<ListenError> listen(std::uint16_t port) = 0;
    // Also listens on the count-only port, beside the one listen() opened.
    virtual std::optional<ListenError> listenCountOnly(std::uint16_t port) = 0;
    // Closes both ports and every open connection; none of them is counted.
    virtual void close() = 0;
    virtual bool isListening() const = 0;
    virtual std::size_t openConnections() const = 0;
};

}  // namespace tessel::platform
