#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/NameTally.h"

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
    // Told, on the thread that owns the listener, how many connections were served since it was
    // last told: a count, never a call per connection.
    using Served = std::function<void(std::uint64_t connections)>;

    // Told, the same way, of the names those connections asked for: the Host header on the
    // replying port, the TLS server name on the count-only one.
    using Named = std::function<void(const core::NameTally& names)>;

    virtual ~RedirectListener() = default;
    virtual void onServed(Served served) = 0;
    virtual void onNamed(Named named) = 0;
    // What every connection accepted from now on is sent.
    virtual void setReply(std::string reply) = 0;
    // Closes both ports first, then listens on this one.
    virtual std::optional<ListenError> listen(std::uint16_t port) = 0;
    // Also listens on the count-only port, beside the one listen() opened.
    virtual std::optional<ListenError> listenCountOnly(std::uint16_t port) = 0;
    // Closes both ports and every open connection; none of them is counted, and none is answered
    // once it returns. The connections served before are told first.
    virtual void close() = 0;
    virtual bool isListening() const = 0;
    virtual std::size_t openConnections() const = 0;
};

}  // namespace tessel::platform
