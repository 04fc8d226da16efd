#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tessel::bench {

struct LoadSettings final {
    std::uint16_t port = 0;
    int concurrency = 1;
    std::chrono::milliseconds warmUp{200};
    std::chrono::milliseconds duration{1500};
    std::string_view expectedReply;
    pid_t serverPid = -1;  // sampled for resident memory while the load runs
};

struct LoadResult final {
    std::size_t connections = 0;  // completed inside the measured window
    std::size_t failures = 0;     // wrong reply, refused, reset
    double perSecond = 0;
    double p50Us = 0;
    double p99Us = 0;
    double serverCpuUsPerConnection = 0;  // unlike the rate, not skewed by a busy machine
    long peakRssKb = -1;
};

// Keeps `concurrency` browsers busy against the server: each connects, sends a small request at
// once, reads the whole reply and waits for the server to close; then the next one starts. Latency
// is from connect to close. One thread, nonblocking sockets, its own epoll set.
LoadResult runLoad(const LoadSettings& settings);

// Connections that connect, are answered, and then say nothing for as long as this object lives.
class IdleConnections final {
public:
    IdleConnections(std::uint16_t port, std::size_t count);
    ~IdleConnections();
    IdleConnections(const IdleConnections&) = delete;
    IdleConnections& operator=(const IdleConnections&) = delete;

    // How many were accepted and answered.
    std::size_t answered() const { return answered_; }

private:
    std::vector<int> fds_;
    std::size_t answered_ = 0;
};

}  // namespace tessel::bench
