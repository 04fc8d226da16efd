#pragma once

// The client side of the benchmarks and of the load and soak tests: browsers that behave and
// peers that do not. It runs in a process of its own, so it never shares a core's time slice
// with the server it drives and its memory never counts towards the server's.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace tessel::bench {

// Kinds of peer, repeated in the order given by their weights.
struct Mix final {
    int normal = 1;       // sends its request at once, reads the reply, waits for the close
    int garbage = 0;      // reads the reply, sends random bytes, waits for the close
    int megabyte = 0;     // reads the reply, then streams up to a megabyte until cut off
    int closeAtOnce = 0;  // connects and closes at once, reading nothing
    int reset = 0;        // connects and aborts with a reset
    int halfClose = 0;    // reads the reply, shuts its sending side without a byte
};

struct LoadSettings final {
    std::uint16_t port = 0;
    std::string_view expectedReply;
    int concurrency = 1;
    Mix mix{};
    long long total = std::numeric_limits<long long>::max();  // connections to make at most
    std::chrono::milliseconds warmUp{0};
    // New connections stop once warm-up and duration have passed, or `total` are made.
    std::chrono::milliseconds duration = std::chrono::hours(1);
    std::chrono::milliseconds patience{5000};  // for each connection to end
    pid_t serverPid = -1;  // sampled for CPU time and resident memory while measuring
};

struct LoadResult final {
    long long started = 0;
    long long succeeded = 0;
    long long failures = 0;  // refused, wrong reply, reset or out of patience
    long long dataSent = 0;  // connections whose first bytes reached the socket: the count expected
    // Connections that ended inside the measured window (after the warm-up), and their figures.
    std::size_t connections = 0;
    double perSecond = 0;
    double p50Us = 0;
    double p99Us = 0;
    double maxUs = 0;
    double serverCpuUsPerConnection = 0;  // unlike the rate, not skewed by a busy machine
    long peakRssKb = -1;
};

// Keeps `concurrency` peers busy against the server, each started as the one before it ends.
// Latency is from connect to close. One thread, nonblocking sockets, its own epoll set.
LoadResult runLoad(const LoadSettings& settings);

// Connections that are answered and then say nothing for as long as this object lives. Each is
// connected and its reply read before the next one starts, so they are accepted in order.
class SilentPeers final {
public:
    using Clock = std::chrono::steady_clock;
    struct Peer final {
        int fd = -1;
        Clock::time_point connectedAt{};
        bool answered = false;
        long long endedAfterMs = -1;  // when the server closed it, counted from its connect
    };

    SilentPeers(std::uint16_t port, std::string_view reply, std::size_t count);
    ~SilentPeers();
    SilentPeers(const SilentPeers&) = delete;
    SilentPeers& operator=(const SilentPeers&) = delete;

    // Notes every close by the server until all are closed or the deadline passes.
    void watchForEnds(Clock::time_point deadline);
    // Gives closes on their way a moment to arrive: the number still open.
    std::size_t stillOpen();
    std::size_t answered() const;
    const std::vector<Peer>& peers() const { return peers_; }

private:
    std::vector<Peer> peers_;
};

void raiseDescriptorLimit();

}  // namespace tessel::bench
