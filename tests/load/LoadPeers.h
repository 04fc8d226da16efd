#pragma once

// The client side of the load and soak tests: browsers that behave and peers that do not. Runs in
// its own process, so it never shares a core's time slice with the listener it drives and its
// memory never counts towards the listener's.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace tessel::load {

// Kinds of peer, repeated in the order given by their weights.
struct Mix final {
    int normal = 1;       // reads the reply, sends a request, waits for the close
    int garbage = 0;      // reads the reply, sends random bytes, waits for the close
    int megabyte = 0;     // reads the reply, then streams up to a megabyte until cut off
    int closeAtOnce = 0;  // connects and closes at once, reading nothing
    int reset = 0;        // connects and aborts with a reset
    int halfClose = 0;    // reads the reply, shuts its sending side without a byte
};

struct LoadReport final {
    long long started = 0;
    long long succeeded = 0;
    long long failed = 0;
    long long dataSent = 0;  // connections whose first bytes reached the socket: the expected count
    long long connectErrors = 0;
    long long wrongReplies = 0;
    long long resets = 0;
    long long timeouts = 0;
    long long maxLatencyUs = 0;
    long long p99LatencyUs = 0;
    long long elapsedMs = 0;
};

// Runs `total` connections, `concurrency` at a time, and stops starting new ones once `budget`
// has passed (the report then says how many were started). Each connection has `patience` to end.
LoadReport runBrowsers(std::uint16_t port, const std::string& reply, long long total,
                       int concurrency, Mix mix, std::chrono::milliseconds budget,
                       std::chrono::milliseconds patience = std::chrono::seconds(5));

// Connections that are answered and then say nothing. Each is connected and its reply read before
// the next one starts, so they are accepted in order.
struct Silent final {
    int fd = -1;
    std::chrono::steady_clock::time_point connectedAt{};
    bool answered = false;
    long long endedAfterMs = -1;  // when the server closed it, counted from its connect
};

std::vector<Silent> openSilent(std::uint16_t port, const std::string& reply, int count);
// Notes every close by the server until all are closed or the deadline passes.
void watchForEnds(std::vector<Silent>& silent, std::chrono::steady_clock::time_point deadline);
// Reads whatever the server did so far without waiting: the number still open.
int stillOpen(std::vector<Silent>& silent);
void closeAll(std::vector<Silent>& silent);

void raiseDescriptorLimit();

}  // namespace tessel::load
