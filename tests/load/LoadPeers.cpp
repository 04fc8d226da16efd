#include "load/LoadPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <random>

namespace tessel::load {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kRequest = "GET /banner.gif HTTP/1.1\r\nHost: ad.load.example\r\n\r\n";
// The server closes first, so each finished connection waits out TIME_WAIT on the server's side
// under its four addresses; many loopback source addresses keep a million of them from colliding.
constexpr std::uint32_t kSources = 64;
constexpr std::size_t kMegabyte = std::size_t{1} << 20;

enum class Kind { Normal, Garbage, Megabyte, CloseAtOnce, Reset, HalfClose };
enum class Outcome { Success, ConnectError, WrongReply, Reset, Timeout };

struct Browser final {
    int fd = -1;
    Kind kind = Kind::Normal;
    std::size_t received = 0;
    std::size_t sent = 0;
    bool acted = false;
    Clock::time_point began{};
};

sockaddr_in loopback(std::uint16_t port, std::uint32_t host = INADDR_LOOPBACK) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(host);
    return address;
}

std::vector<Kind> pattern(const Mix& mix) {
    std::vector<Kind> kinds;
    const std::pair<int, Kind> weights[] = {
        {mix.normal, Kind::Normal},     {mix.garbage, Kind::Garbage},
        {mix.megabyte, Kind::Megabyte}, {mix.closeAtOnce, Kind::CloseAtOnce},
        {mix.reset, Kind::Reset},       {mix.halfClose, Kind::HalfClose}};
    for (const auto& [weight, kind] : weights) {
        kinds.insert(kinds.end(), static_cast<std::size_t>(std::max(weight, 0)), kind);
    }
    if (kinds.empty()) {
        kinds.push_back(Kind::Normal);
    }
    return kinds;
}

class Load final {
public:
    Load(std::uint16_t port, const std::string& reply, int concurrency, Mix mix,
         std::chrono::milliseconds patience)
        : reply_(reply),
          kinds_(pattern(mix)),
          browsers_(static_cast<std::size_t>(concurrency)),
          epoll_(::epoll_create1(EPOLL_CLOEXEC)),
          target_(loopback(port)),
          patience_(patience),
          garbage_(512, '\0'),
          stream_(64 * 1024, 'M') {
        std::mt19937 random(12345);
        for (char& byte : garbage_) {
            byte = static_cast<char>(random());
        }
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

    LoadReport run(long long total, std::chrono::milliseconds budget);

private:
    void start(std::size_t slot);
    void advance(std::size_t slot, std::uint32_t events);
    void act(std::size_t slot);
    void pushMegabyte(std::size_t slot);
    void finish(std::size_t slot, Outcome outcome);
    void interest(std::size_t slot, std::uint32_t events, int operation);

    const std::string& reply_;
    std::vector<Kind> kinds_;
    std::vector<Browser> browsers_;
    int epoll_;
    sockaddr_in target_;
    std::chrono::milliseconds patience_;
    std::string garbage_;
    std::string stream_;
    long long total_ = 0;
    bool stopping_ = false;
    std::uint32_t nextSource_ = 0;
    std::vector<std::uint32_t> latenciesUs_;
    LoadReport report_;
    std::array<char, 4096> scratch_{};
};

void Load::interest(std::size_t slot, std::uint32_t events, int operation) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = slot;
    ::epoll_ctl(epoll_, operation, browsers_[slot].fd, &event);
}

void Load::start(std::size_t slot) {
    // A closing peer needs no slot time: several may be started in a row.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (stopping_ || report_.started >= total_) {
            return;
        }
        Browser& browser = browsers_[slot];
        browser = Browser{};
        browser.kind = kinds_[static_cast<std::size_t>(report_.started) % kinds_.size()];
        browser.began = Clock::now();
        ++report_.started;
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            ++report_.failed;
            ++report_.connectErrors;
            return;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
        const sockaddr_in source = loopback(0, INADDR_LOOPBACK + 1 + nextSource_++ % kSources);
        ::bind(fd, reinterpret_cast<const sockaddr*>(&source), sizeof source);
        browser.fd = fd;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&target_), sizeof target_) != 0 &&
            errno != EINPROGRESS) {
            finish(slot, Outcome::ConnectError);
            continue;
        }
        if (browser.kind == Kind::CloseAtOnce) {
            finish(slot, Outcome::Success);
            continue;
        }
        interest(slot, browser.kind == Kind::Reset ? EPOLLOUT : EPOLLIN, EPOLL_CTL_ADD);
        return;
    }
}

// The reply is in: the peer does what its kind does.
void Load::act(std::size_t slot) {
    Browser& browser = browsers_[slot];
    browser.acted = true;
    switch (browser.kind) {
        case Kind::Normal:
        case Kind::Garbage: {
            const std::string_view bytes =
                browser.kind == Kind::Normal ? kRequest : std::string_view(garbage_);
            if (::send(browser.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0) {
                ++report_.dataSent;
            }
            return;
        }
        case Kind::Megabyte:
            interest(slot, EPOLLIN | EPOLLOUT, EPOLL_CTL_MOD);
            pushMegabyte(slot);
            return;
        case Kind::HalfClose:
            ::shutdown(browser.fd, SHUT_WR);
            return;
        case Kind::CloseAtOnce:
        case Kind::Reset:
            return;
    }
}

void Load::pushMegabyte(std::size_t slot) {
    Browser& browser = browsers_[slot];
    while (browser.sent < kMegabyte) {
        const std::size_t chunk = std::min(stream_.size(), kMegabyte - browser.sent);
        const ssize_t sent = ::send(browser.fd, stream_.data(), chunk, MSG_NOSIGNAL);
        if (sent <= 0) {
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            }
            // Cut off by the server: it has what it needed. Only the reply decides success.
            finish(slot, Outcome::Success);
            return;
        }
        if (browser.sent == 0) {
            ++report_.dataSent;
        }
        browser.sent += static_cast<std::size_t>(sent);
    }
    interest(slot, EPOLLIN, EPOLL_CTL_MOD);
}

void Load::advance(std::size_t slot, std::uint32_t events) {
    Browser& browser = browsers_[slot];
    if (browser.kind == Kind::Reset) {
        const linger abort{1, 0};
        ::setsockopt(browser.fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        finish(slot, Outcome::Success);
        return;
    }
    if ((events & EPOLLOUT) != 0 && browser.kind == Kind::Megabyte && browser.acted) {
        pushMegabyte(slot);
        if (browser.fd < 0) {
            return;
        }
    }
    for (;;) {
        const ssize_t got = ::recv(browser.fd, scratch_.data(), scratch_.size(), 0);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        const bool whole = browser.received == reply_.size();
        if (got == 0) {
            finish(slot, whole && browser.acted ? Outcome::Success : Outcome::WrongReply);
            return;
        }
        if (got < 0) {
            // A megabyte sender is cut off with a reset once the server has closed.
            const bool expected = browser.kind == Kind::Megabyte && whole && browser.acted;
            finish(slot, expected ? Outcome::Success : Outcome::Reset);
            return;
        }
        const auto size = static_cast<std::size_t>(got);
        if (browser.received + size > reply_.size() ||
            std::memcmp(scratch_.data(), reply_.data() + browser.received, size) != 0) {
            finish(slot, Outcome::WrongReply);
            return;
        }
        browser.received += size;
        if (browser.received == reply_.size() && !browser.acted) {
            act(slot);
            if (browsers_[slot].fd < 0) {
                return;
            }
        }
    }
}

void Load::finish(std::size_t slot, Outcome outcome) {
    Browser& browser = browsers_[slot];
    if (browser.fd >= 0) {
        ::close(browser.fd);  // also leaves the epoll set
        browser.fd = -1;
    }
    switch (outcome) {
        case Outcome::Success: {
            ++report_.succeeded;
            const auto took =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - browser.began);
            latenciesUs_.push_back(static_cast<std::uint32_t>(took.count()));
            break;
        }
        case Outcome::ConnectError:
            ++report_.failed;
            ++report_.connectErrors;
            break;
        case Outcome::WrongReply:
            ++report_.failed;
            ++report_.wrongReplies;
            break;
        case Outcome::Reset:
            ++report_.failed;
            ++report_.resets;
            break;
        case Outcome::Timeout:
            ++report_.failed;
            ++report_.timeouts;
            break;
    }
}

LoadReport Load::run(long long total, std::chrono::milliseconds budget) {
    total_ = total;
    latenciesUs_.reserve(static_cast<std::size_t>(std::min<long long>(total, 2'000'000)));
    const Clock::time_point began = Clock::now();
    const Clock::time_point stopAt = began + budget;
    for (std::size_t slot = 0; slot < browsers_.size(); ++slot) {
        start(slot);
    }
    std::array<epoll_event, 256> ready;
    Clock::time_point nextScan = began + std::chrono::milliseconds(100);
    // Bounded by the budget plus the patience of the last connections.
    while (Clock::now() < stopAt + patience_ + std::chrono::seconds(1)) {
        const int count = ::epoll_wait(epoll_, ready.data(), static_cast<int>(ready.size()), 50);
        const Clock::time_point now = Clock::now();
        stopping_ = now >= stopAt;
        for (int i = 0; i < count; ++i) {
            const auto slot = static_cast<std::size_t>(ready[i].data.u64);
            if (browsers_[slot].fd < 0) {
                continue;
            }
            advance(slot, ready[i].events);
            if (browsers_[slot].fd < 0) {
                start(slot);
            }
        }
        if (now >= nextScan) {
            nextScan = now + std::chrono::milliseconds(100);
            for (std::size_t slot = 0; slot < browsers_.size(); ++slot) {
                if (browsers_[slot].fd >= 0 && now - browsers_[slot].began > patience_) {
                    finish(slot, Outcome::Timeout);
                    start(slot);
                }
            }
        }
        const bool idle = std::none_of(browsers_.begin(), browsers_.end(),
                                       [](const Browser& browser) { return browser.fd >= 0; });
        if (idle && (stopping_ || report_.started >= total_)) {
            break;
        }
        if (idle) {
            for (std::size_t slot = 0; slot < browsers_.size(); ++slot) {
                start(slot);
            }
        }
    }
    for (std::size_t slot = 0; slot < browsers_.size(); ++slot) {
        if (browsers_[slot].fd >= 0) {
            finish(slot, Outcome::Timeout);
        }
    }
    report_.elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
    if (!latenciesUs_.empty()) {
        const auto rank =
            static_cast<std::size_t>(0.99 * static_cast<double>(latenciesUs_.size() - 1));
        std::nth_element(latenciesUs_.begin(), latenciesUs_.begin() + static_cast<long>(rank),
                         latenciesUs_.end());
        report_.p99LatencyUs = latenciesUs_[rank];
        report_.maxLatencyUs = *std::max_element(latenciesUs_.begin(), latenciesUs_.end());
    }
    return report_;
}

bool readReply(int fd, const std::string& reply, int waitMs) {
    std::string got;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(waitMs);
    while (got.size() < reply.size()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        pollfd waiting{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&waiting, 1, static_cast<int>(left)) != 1) {
            return false;
        }
        char buffer[1024];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0) {
            return false;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got == reply;
}

}  // namespace

LoadReport runBrowsers(std::uint16_t port, const std::string& reply, long long total,
                       int concurrency, Mix mix, std::chrono::milliseconds budget,
                       std::chrono::milliseconds patience) {
    Load load(port, reply, concurrency, mix, patience);
    return load.run(total, budget);
}

std::vector<Silent> openSilent(std::uint16_t port, const std::string& reply, int count) {
    std::vector<Silent> silent;
    silent.reserve(static_cast<std::size_t>(count));
    const sockaddr_in target = loopback(port);
    for (int i = 0; i < count; ++i) {
        Silent peer;
        peer.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (peer.fd < 0) {
            break;
        }
        const sockaddr_in source =
            loopback(0, INADDR_LOOPBACK + 1 + static_cast<std::uint32_t>(i) % kSources);
        const int on = 1;
        ::setsockopt(peer.fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
        ::bind(peer.fd, reinterpret_cast<const sockaddr*>(&source), sizeof source);
        // The kernel completes the handshake itself, so a blocking connect returns at once.
        if (::connect(peer.fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
            peer.connectedAt = Clock::now();
            peer.answered = readReply(peer.fd, reply, 2000);
        }
        silent.push_back(peer);
    }
    return silent;
}

void watchForEnds(std::vector<Silent>& silent, Clock::time_point deadline) {
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    int waiting = 0;
    for (std::size_t i = 0; i < silent.size(); ++i) {
        if (silent[i].fd < 0 || silent[i].endedAfterMs >= 0) {
            continue;
        }
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.u64 = i;
        if (::epoll_ctl(epoll, EPOLL_CTL_ADD, silent[i].fd, &event) == 0) {
            ++waiting;
        }
    }
    std::array<epoll_event, 256> ready;
    // At least one look, even with the deadline already passed: that is how stillOpen() reads.
    for (bool first = true; waiting > 0 && (first || Clock::now() < deadline); first = false) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int wait = static_cast<int>(std::clamp<long long>(left.count(), 0, 20));
        const int count = ::epoll_wait(epoll, ready.data(), static_cast<int>(ready.size()), wait);
        const Clock::time_point now = Clock::now();
        for (int i = 0; i < count; ++i) {
            Silent& peer = silent[static_cast<std::size_t>(ready[i].data.u64)];
            char buffer[1024];
            const ssize_t n = ::recv(peer.fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                peer.endedAfterMs =
                    std::chrono::duration_cast<std::chrono::milliseconds>(now - peer.connectedAt)
                        .count();
                ::epoll_ctl(epoll, EPOLL_CTL_DEL, peer.fd, nullptr);
                --waiting;
            }
        }
    }
    ::close(epoll);
}

int stillOpen(std::vector<Silent>& silent) {
    // Closes already on their way are given a moment to arrive.
    watchForEnds(silent, Clock::now() + std::chrono::milliseconds(300));
    int open = 0;
    for (const Silent& peer : silent) {
        open += peer.fd >= 0 && peer.endedAfterMs < 0 ? 1 : 0;
    }
    return open;
}

void closeAll(std::vector<Silent>& silent) {
    for (Silent& peer : silent) {
        if (peer.fd >= 0) {
            ::close(peer.fd);
            peer.fd = -1;
        }
    }
}

void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace tessel::load
