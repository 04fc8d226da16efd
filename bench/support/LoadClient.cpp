#include "bench/support/LoadClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "bench/support/ServerProcess.h"

namespace tessel::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kRequest = "GET / HTTP/1.0\r\n\r\n";
// Closing server-first leaves each finished connection in TIME_WAIT for a minute; spreading the
// client over many loopback source addresses keeps the ephemeral ports from running out.
constexpr std::uint32_t kSourceAddresses = 64;
constexpr auto kSampleEvery = std::chrono::milliseconds{100};
constexpr auto kGrace = std::chrono::seconds{2};

struct Browser final {
    int fd = -1;
    std::size_t received = 0;
    bool asked = false;
    Clock::time_point began{};
};

class Load final {
public:
    explicit Load(const LoadSettings& settings)
        : settings_(settings),
          browsers_(static_cast<std::size_t>(settings.concurrency)),
          epoll_(::epoll_create1(EPOLL_CLOEXEC)) {
        target_.sin_family = AF_INET;
        target_.sin_port = htons(settings.port);
        target_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~Load() {
        for (Browser& browser : browsers_) {
            if (browser.fd >= 0) {
                ::close(browser.fd);
            }
        }
        ::close(epoll_);
    }
    Load(const Load&) = delete;
    Load& operator=(const Load&) = delete;

    LoadResult run();

private:
    void start(std::size_t index);
    void advance(std::size_t index, std::uint32_t events);
    static bool ask(int fd);
    void finish(std::size_t index, bool ok);
    void sampleMemory(Clock::time_point now);
    bool allDone() const {
        return std::none_of(browsers_.begin(), browsers_.end(),
                            [](const Browser& browser) { return browser.fd >= 0; });
    }

    const LoadSettings& settings_;
    std::vector<Browser> browsers_;
    int epoll_;
    sockaddr_in target_{};
    std::uint32_t nextSource_ = 0;
    bool measuring_ = false;
    bool stopping_ = false;
    std::vector<std::uint32_t> latenciesNs_;
    LoadResult result_;
    Clock::time_point nextSample_{};
    std::array<char, 4096> scratch_{};
};

void Load::start(std::size_t index) {
    Browser& browser = browsers_[index];
    browser = Browser{};
    browser.began = Clock::now();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1 + nextSource_++ % kSourceAddresses);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&source), sizeof source);
    if (fd < 0 ||
        (::connect(fd, reinterpret_cast<const sockaddr*>(&target_), sizeof target_) != 0 &&
         errno != EINPROGRESS)) {
        // The slot stays empty: starting again at once could go round forever on a dead server.
        if (fd >= 0) {
            ::close(fd);
        }
        ++result_.failures;
        return;
    }
    browser.fd = fd;
    // A browser sends its request as soon as it is connected, without waiting for anything.
    browser.asked = ask(fd);
    epoll_event interest{};
    interest.events = browser.asked ? EPOLLIN : EPOLLIN | EPOLLOUT;
    interest.data.u64 = index;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &interest);
}

bool Load::ask(int fd) {
    return ::send(fd, kRequest.data(), kRequest.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(kRequest.size());
}

void Load::advance(std::size_t index, std::uint32_t events) {
    Browser& browser = browsers_[index];
    if (browser.fd < 0) {
        return;
    }
    if (!browser.asked && (events & EPOLLOUT) != 0 && ask(browser.fd)) {
        browser.asked = true;
        epoll_event interest{};
        interest.events = EPOLLIN;
        interest.data.u64 = index;
        ::epoll_ctl(epoll_, EPOLL_CTL_MOD, browser.fd, &interest);
    }
    const ssize_t got = ::recv(browser.fd, scratch_.data(), scratch_.size(), 0);
    if (got < 0 && errno == EAGAIN) {
        return;
    }
    if (got <= 0) {
        finish(index,
               got == 0 && browser.asked && browser.received == settings_.expectedReply.size());
        return;
    }
    const std::string_view expected = settings_.expectedReply;
    const auto size = static_cast<std::size_t>(got);
    if (browser.received + size > expected.size() ||
        std::memcmp(scratch_.data(), expected.data() + browser.received, size) != 0) {
        finish(index, false);
        return;
    }
    browser.received += size;
}

void Load::finish(std::size_t index, bool ok) {
    Browser& browser = browsers_[index];
    ::close(browser.fd);
    browser.fd = -1;
    if (measuring_) {
        if (ok) {
            const auto took = Clock::now() - browser.began;
            latenciesNs_.push_back(static_cast<std::uint32_t>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(took).count()));
        } else {
            ++result_.failures;
        }
    }
    if (!stopping_) {
        start(index);
    }
}

void Load::sampleMemory(Clock::time_point now) {
    if (settings_.serverPid <= 0 || now < nextSample_) {
        return;
    }
    nextSample_ = now + kSampleEvery;
    result_.peakRssKb = std::max(result_.peakRssKb, residentKb(settings_.serverPid));
}

double percentileUs(std::vector<std::uint32_t>& values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(rank), values.end());
    return values[rank] / 1000.0;
}

LoadResult Load::run() {
    latenciesNs_.reserve(200'000);
    for (std::size_t i = 0; i < browsers_.size(); ++i) {
        start(i);
    }
    std::array<epoll_event, 256> ready;
    const Clock::time_point measureFrom = Clock::now() + settings_.warmUp;
    const Clock::time_point measureTo = measureFrom + settings_.duration;
    std::uint64_t cpuFrom = 0;
    std::uint64_t cpuTo = 0;
    for (;;) {
        const int count = ::epoll_wait(epoll_, ready.data(), static_cast<int>(ready.size()), 100);
        const Clock::time_point now = Clock::now();
        const bool wasMeasuring = measuring_;
        measuring_ = now >= measureFrom && now < measureTo;
        if (measuring_ != wasMeasuring) {
            (measuring_ ? cpuFrom : cpuTo) = cpuNs(settings_.serverPid);
        }
        stopping_ = now >= measureTo;
        for (int i = 0; i < count; ++i) {
            advance(static_cast<std::size_t>(ready[i].data.u64), ready[i].events);
        }
        if (measuring_) {
            sampleMemory(now);
        }
        // A stuck connection must not hold the whole run.
        if (stopping_ && (allDone() || now >= measureTo + kGrace)) {
            break;
        }
    }
    result_.connections = latenciesNs_.size();
    result_.perSecond = static_cast<double>(result_.connections) /
                        std::chrono::duration<double>(settings_.duration).count();
    if (result_.connections > 0 && cpuTo > cpuFrom) {
        result_.serverCpuUsPerConnection = static_cast<double>(cpuTo - cpuFrom) / 1000.0 /
                                           static_cast<double>(result_.connections);
    }
    result_.p50Us = percentileUs(latenciesNs_, 0.50);
    result_.p99Us = percentileUs(latenciesNs_, 0.99);
    return result_;
}

}  // namespace

LoadResult runLoad(const LoadSettings& settings) {
    Load load(settings);
    return load.run();
}

IdleConnections::IdleConnections(std::uint16_t port, std::size_t count) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    fds_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            break;
        }
        fds_.push_back(fd);
        ::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    }
    // Answered means accepted: the reply is the first thing the server does with a connection.
    for (const int fd : fds_) {
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, 2000) == 1 && (waiting.revents & POLLIN) != 0) {
            ++answered_;
        }
    }
}

IdleConnections::~IdleConnections() {
    for (const int fd : fds_) {
        ::close(fd);
    }
}

}  // namespace tessel::bench
