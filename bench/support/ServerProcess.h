#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>

namespace tessel::bench {

// A server under measurement, run in a child process so that it never shares a thread (or a
// scheduler slot) with the load client. The child is killed when this object goes.
class ServerProcess final {
public:
    // `serve` runs in the child: it must write the bound port (two bytes, host order) to the
    // descriptor it is given and then serve until killed.
    explicit ServerProcess(const std::function<void(int readyFd)>& serve);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool running() const { return port_ != 0; }
    pid_t pid() const { return pid_; }
    std::uint16_t port() const { return port_; }

private:
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
};

// VmRSS of a process in kilobytes, or -1 when it cannot be read.
long residentKb(pid_t pid);

// CPU time a process has used so far, all its threads together, in nanoseconds.
std::uint64_t cpuNs(pid_t pid);

}  // namespace tessel::bench
