#include "bench/support/LoadClient.h"

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
#include <string>

#include "bench/support/ServerProcess.h"

namespace tessel::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kRequest = "GET /banner.gif HTTP/1.1\r\nHost: ad.load.example\r\n\r\n";
// The server closes first, so each finished connection waits out TIME_WAIT on the server's side
// under its four addresses; many loopback source addresses keep a million of them from colliding.
constexpr std::uint32_t kSources = 64;
constexpr std::size_t kMegabyte = std::size_t{1} << 20;
constexpr auto kSampleEvery = std::chrono::milliseconds{100};

enum class Kind { Normal, Garbage, Megabyte, CloseAtOnce, Reset, HalfClose };

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

// A client socket from one of the many loopback sources.
int openFrom(std::uint32_t source, int flags) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
    const sockaddr_in address = loopback(0, INADDR_LOOPBACK + 1 + source % kSources);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return fd;
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

double percentileUs(std::vector<std::uint32_t>& values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(rank), values.end());
    return values[rank] / 1000.0;
}

class Load final {
public:
    explicit Load(const LoadSettings& settings)
        : settings_(settings),
          kinds_(pattern(settings.mix)),
          browsers_(static_cast<std::size_t>(settings.concurrency)),
          epoll_(::epoll_create1(EPOLL_CLOEXEC)),
          target_(loopback(settings.port)),
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

    LoadResult run();

private:
    void start(std::size_t slot);
    bool connect(std::size_t slot);
    void advance(std::size_t slot, std::uint32_t events);
    bool receive(std::size_t slot);
    void act(std::size_t slot);
    void ask(std::size_t slot, std::string_view bytes);
    void pushMegabyte(std::size_t slot);
    void finish(std::size_t slot, bool ok);
    void interest(std::size_t slot, std::uint32_t events, int operation);
    void tick(Clock::time_point now);
    void summarise();
    bool idle() const {
        return std::none_of(browsers_.begin(), browsers_.end(),
                            [](const Browser& browser) { return browser.fd >= 0; });
    }

    const LoadSettings& settings_;
    std::vector<Kind> kinds_;
    std::vector<Browser> browsers_;
    int epoll_;
    sockaddr_in target_;
    std::string garbage_;
    std::string stream_;
    Clock::time_point measureFrom_{};
    Clock::time_point measureTo_{};
    bool measuring_ = false;
    bool stopping_ = false;
    std::uint64_t cpuFrom_ = 0;
    std::uint64_t cpuTo_ = 0;
    Clock::time_point nextSample_{};
    Clock::time_point nextScan_{};
    std::vector<std::uint32_t> latenciesNs_;
    LoadResult result_;
    std::array<char, 4096> scratch_{};
};

void Load::interest(std::size_t slot, std::uint32_t events, int operation) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = slot;
    ::epoll_ctl(epoll_, operation, browsers_[slot].fd, &event);
}

void Load::start(std::size_t slot) {
    // A peer that closes at once, or cannot connect, needs no slot time: start the next at once,
    // a bounded number of times, so a dead server cannot keep this going round.
    for (int attempt = 0; attempt < 1000 && !stopping_ && result_.started < settings_.total;
         ++attempt) {
        if (connect(slot)) {
            return;
        }
    }
}

// True when the connection is under way and waits for the server.
bool Load::connect(std::size_t slot) {
    Browser& browser = browsers_[slot];
    browser = Browser{};
    browser.kind = kinds_[static_cast<std::size_t>(result_.started) % kinds_.size()];
    browser.began = Clock::now();
    browser.fd = openFrom(static_cast<std::uint32_t>(result_.started++), SOCK_NONBLOCK);
    if (browser.fd < 0 ||
        (::connect(browser.fd, reinterpret_cast<const sockaddr*>(&target_), sizeof target_) != 0 &&
         errno != EINPROGRESS)) {
        finish(slot, false);
        return false;
    }
    if (browser.kind == Kind::CloseAtOnce) {
        finish(slot, true);
        return false;
    }
    const bool writing = browser.kind == Kind::Reset || browser.kind == Kind::Normal;
    interest(slot, writing ? EPOLLOUT | EPOLLIN : EPOLLIN, EPOLL_CTL_ADD);
    // A browser sends its request as soon as it is connected, without waiting for anything.
    if (browser.kind == Kind::Normal) {
        ask(slot, kRequest);
    }
    return true;
}

void Load::ask(std::size_t slot, std::string_view bytes) {
    Browser& browser = browsers_[slot];
    if (::send(browser.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0) {
        browser.acted = true;
        ++result_.dataSent;
        interest(slot, EPOLLIN, EPOLL_CTL_MOD);
    }
}

// The reply is in: the peer does what its kind does.
void Load::act(std::size_t slot) {
    Browser& browser = browsers_[slot];
    switch (browser.kind) {
        case Kind::Garbage:
            ask(slot, garbage_);
            return;
        case Kind::Megabyte:
            browser.acted = true;
            interest(slot, EPOLLIN | EPOLLOUT, EPOLL_CTL_MOD);
            pushMegabyte(slot);
            return;
        case Kind::HalfClose:
            browser.acted = true;
            ::shutdown(browser.fd, SHUT_WR);
            return;
        case Kind::Normal:
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
            finish(slot, true);
            return;
        }
        result_.dataSent += browser.sent == 0 ? 1 : 0;
        browser.sent += static_cast<std::size_t>(sent);
    }
    interest(slot, EPOLLIN, EPOLL_CTL_MOD);
}

void Load::advance(std::size_t slot, std::uint32_t events) {
    Browser& browser = browsers_[slot];
    if (browser.kind == Kind::Reset) {
        const linger abort{1, 0};
        ::setsockopt(browser.fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        finish(slot, true);
        return;
    }
    if ((events & EPOLLOUT) != 0 && browser.kind == Kind::Normal && !browser.acted) {
        ask(slot, kRequest);
    }
    if ((events & EPOLLOUT) != 0 && browser.kind == Kind::Megabyte && browser.acted) {
        pushMegabyte(slot);
    }
    while (browser.fd >= 0 && receive(slot)) {
    }
}

// Reads once; false when there is nothing more to read now.
bool Load::receive(std::size_t slot) {
    Browser& browser = browsers_[slot];
    const ssize_t got = ::recv(browser.fd, scratch_.data(), scratch_.size(), 0);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return errno == EINTR;
    }
    const std::string_view reply = settings_.expectedReply;
    const bool whole = browser.received == reply.size() && browser.acted;
    if (got <= 0) {
        // A megabyte sender is cut off with a reset once the server has closed.
        finish(slot, whole && (got == 0 || browser.kind == Kind::Megabyte));
        return false;
    }
    const auto size = static_cast<std::size_t>(got);
    if (browser.received + size > reply.size() ||
        std::memcmp(scratch_.data(), reply.data() + browser.received, size) != 0) {
        finish(slot, false);
        return false;
    }
    browser.received += size;
    if (browser.received == reply.size() && !browser.acted) {
        act(slot);
    }
    return true;
}

void Load::finish(std::size_t slot, bool ok) {
    Browser& browser = browsers_[slot];
    if (browser.fd >= 0) {
        ::close(browser.fd);  // also leaves the epoll set
        browser.fd = -1;
    }
    result_.succeeded += ok ? 1 : 0;
    result_.failures += ok ? 0 : 1;
    if (ok && measuring_) {
        const auto took = Clock::now() - browser.began;
        latenciesNs_.push_back(static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(took).count()));
    }
}

// The measured window opens and closes; the server's memory is sampled inside it; peers out of
// patience are given up.
void Load::tick(Clock::time_point now) {
    const bool wasMeasuring = measuring_;
    measuring_ = now >= measureFrom_ && now < measureTo_;
    if (measuring_ != wasMeasuring && settings_.serverPid > 0) {
        (measuring_ ? cpuFrom_ : cpuTo_) = cpuNs(settings_.serverPid);
    }
    stopping_ = now >= measureTo_;
    if (measuring_ && settings_.serverPid > 0 && now >= nextSample_) {
        nextSample_ = now + kSampleEvery;
        result_.peakRssKb = std::max(result_.peakRssKb, residentKb(settings_.serverPid));
    }
    if (now < nextScan_) {
        return;
    }
    nextScan_ = now + kSampleEvery;
    for (std::size_t slot = 0; slot < browsers_.size(); ++slot) {
        if (browsers_[slot].fd >= 0 && now - browsers_[slot].began > settings_.patience) {
            finish(slot, false);
            start(slot);
        }
    }
}

LoadResult Load::run() {
    latenciesNs_.reserve(static_cast<std::size_t>(std::min(settings_.total, 2'000'000LL)));
    measureFrom_ = Clock::now() + settings_.warmUp;
    measureTo_ = measureFrom_ + settings_.duration;
    tick(Clock::now());
    for (std::size_t slot = 0; slot < browsers_.size(); ++slot) {
        start(slot);
    }
    std::array<epoll_event, 256> ready;
    while (!idle() || (!stopping_ && result_.started < settings_.total)) {
        const int count = ::epoll_wait(epoll_, ready.data(), static_cast<int>(ready.size()), 50);
        tick(Clock::now());
        for (int i = 0; i < count; ++i) {
            const auto slot = static_cast<std::size_t>(ready[i].data.u64);
            if (browsers_[slot].fd >= 0) {
                advance(slot, ready[i].events);
            }
            if (browsers_[slot].fd < 0) {
                start(slot);
            }
        }
        for (std::size_t slot = 0; idle() && slot < browsers_.size(); ++slot) {
            start(slot);
        }
    }
    summarise();
    return result_;
}

void Load::summarise() {
    result_.connections = latenciesNs_.size();
    const Clock::time_point end = std::min(Clock::now(), measureTo_);
    const double seconds = std::chrono::duration<double>(end - measureFrom_).count();
    result_.perSecond = seconds > 0 ? static_cast<double>(result_.connections) / seconds : 0;
    if (result_.connections > 0 && cpuTo_ > cpuFrom_) {
        result_.serverCpuUsPerConnection = static_cast<double>(cpuTo_ - cpuFrom_) / 1000.0 /
                                           static_cast<double>(result_.connections);
    }
    result_.p50Us = percentileUs(latenciesNs_, 0.50);
    result_.p99Us = percentileUs(latenciesNs_, 0.99);
    result_.maxUs = percentileUs(latenciesNs_, 1.0);
}

bool readReply(int fd, std::string_view reply, std::chrono::milliseconds wait) {
    std::string got;
    const Clock::time_point until = Clock::now() + wait;
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

LoadResult runLoad(const LoadSettings& settings) {
    Load load(settings);
    return load.run();
}

SilentPeers::SilentPeers(std::uint16_t port, std::string_view reply, std::size_t count) {
    peers_.reserve(count);
    const sockaddr_in target = loopback(port);
    for (std::size_t i = 0; i < count; ++i) {
        Peer peer;
        peer.fd = openFrom(static_cast<std::uint32_t>(i), 0);
        if (peer.fd < 0) {
            break;
        }
        // The kernel completes the handshake itself, so a blocking connect returns at once.
        if (::connect(peer.fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
            peer.connectedAt = Clock::now();
            peer.answered = readReply(peer.fd, reply, std::chrono::seconds(2));
        }
        peers_.push_back(peer);
    }
}

SilentPeers::~SilentPeers() {
    for (const Peer& peer : peers_) {
        ::close(peer.fd);
    }
}

std::size_t SilentPeers::answered() const {
    return static_cast<std::size_t>(std::count_if(peers_.begin(), peers_.end(),
                                                  [](const Peer& peer) { return peer.answered; }));
}

void SilentPeers::watchForEnds(Clock::time_point deadline) {
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    int waiting = 0;
    for (std::size_t i = 0; i < peers_.size(); ++i) {
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.u64 = i;
        waiting += peers_[i].endedAfterMs < 0 &&
                           ::epoll_ctl(epoll, EPOLL_CTL_ADD, peers_[i].fd, &event) == 0
                       ? 1
                       : 0;
    }
    std::array<epoll_event, 256> ready;
    // At least one look, even with the deadline already passed.
    for (bool first = true; waiting > 0 && (first || Clock::now() < deadline); first = false) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int wait = static_cast<int>(std::clamp<long long>(left.count(), 0, 20));
        const int count = ::epoll_wait(epoll, ready.data(), static_cast<int>(ready.size()), wait);
        for (int i = 0; i < count; ++i) {
            Peer& peer = peers_[static_cast<std::size_t>(ready[i].data.u64)];
            char buffer[1024];
            const ssize_t n = ::recv(peer.fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                peer.endedAfterMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                        Clock::now() - peer.connectedAt)
                                        .count();
                ::epoll_ctl(epoll, EPOLL_CTL_DEL, peer.fd, nullptr);
                --waiting;
            }
        }
    }
    ::close(epoll);
}

std::size_t SilentPeers::stillOpen() {
    watchForEnds(Clock::now() + std::chrono::milliseconds(300));
    return static_cast<std::size_t>(std::count_if(
        peers_.begin(), peers_.end(), [](const Peer& peer) { return peer.endedAfterMs < 0; }));
}

void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace tessel::bench
