#include "platform/linux/EpollListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/linux/LoopbackSocket.h"

namespace tessel::platform {
namespace {

// Enough events per epoll_wait to cover a burst of browsers, small enough to live on the stack.
constexpr int kBatch = 256;
// Rounds of epoll_wait per wake-up before the rest of the event loop gets its turn.
constexpr int kRounds = 4;
// A round with more events than this suggests more arrived while it ran: looking again at once
// is cheaper than going back through the event loop's poll to learn the same thing.
constexpr int kBusyRound = 1;
// Accepts per readiness of the listener, so a flood of new connections cannot starve the ones
// already open (the listener stays ready and is picked up again next round).
constexpr int kAcceptsPerPass = 256;
constexpr std::size_t kScratchBytes = 16 * 1024;
// A request is a few hundred bytes; a peer that streams more than this is closed anyway.
constexpr std::size_t kDrainLimit = 256 * 1024;
// A TLS greeting is one read; nothing more from a count-only peer is of any use.
constexpr std::size_t kCountOnlyReadLimit = kScratchBytes;
// How long to stop accepting when the system has no descriptor left and none of ours to give up.
constexpr std::chrono::milliseconds kAcceptPause{100};
// The timer's events carry generation 0, which no socket ever gets.
constexpr std::uint32_t kTimerGeneration = 0;

std::uint64_t tagOf(int fd, std::uint32_t generation) {
    return (std::uint64_t{generation} << 32) | static_cast<std::uint32_t>(fd);
}

ListenError errorFrom(int number) {
    return ListenError{listenErrorNumber(number), std::strerror(number)};
}

// Thousands of browsers' connections must fit; the soft limit is often far below the hard one.
void raiseDescriptorLimit() {
    static const bool raised = [] {
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) {
            return false;
        }
        limit.rlim_cur = limit.rlim_max;
        return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }();
    static_cast<void>(raised);
}

// steady_clock is CLOCK_MONOTONIC on Linux, the clock the timer is created on.
timespec toTimespec(std::chrono::steady_clock::time_point when) {
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

bool setInterest(int epoll, int operation, int fd, std::uint32_t events, std::uint64_t tag) {
    epoll_event interest{};
    interest.events = events;
    interest.data.u64 = tag;
    return ::epoll_ctl(epoll, operation, fd, &interest) == 0;
}

bool connectionWaiting(int listener) {
    pollfd queue{listener, POLLIN, 0};
    return ::poll(&queue, 1, 0) == 1 && (queue.revents & POLLIN) != 0;
}

}  // namespace

struct EpollListener::Connection final {
    std::uint32_t generation = 0;
    bool open = false;
    bool requested = false;  // request bytes arrived while part of the reply was still unsent
    bool countOnly = false;
    int older = -1;
    int newer = -1;
    Clock::time_point acceptedAt{};
    std::string unsent;  // only when the system did not take the whole reply at once
};

EpollListener::EpollListener(Limits limits, QObject* parent)
    : QObject(parent), limits_(limits), scratch_(kScratchBytes) {
    raiseDescriptorLimit();
}

EpollListener::~EpollListener() {
    close();
    notifier_.reset();
    if (timer_ >= 0) {
        ::close(timer_);
    }
    if (epoll_ >= 0) {
        ::close(epoll_);
    }
}

void EpollListener::setEvents(Events events) {
    events_ = std::move(events);
}

std::optional<ListenError> EpollListener::ensureEventSet() {
    if (epoll_ >= 0) {
        return std::nullopt;
    }
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0) {
        return errorFrom(errno);
    }
    const int timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timer < 0 ||
        !setInterest(epoll, EPOLL_CTL_ADD, timer, EPOLLIN, tagOf(timer, kTimerGeneration))) {
        const int number = errno;
        if (timer >= 0) {
            ::close(timer);
        }
        ::close(epoll);
        return errorFrom(number);
    }
    epoll_ = epoll;
    timer_ = timer;
    notifier_ = std::make_unique<QSocketNotifier>(epoll_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &EpollListener::onReady);
    return std::nullopt;
}

std::optional<ListenError> EpollListener::listen(std::uint16_t port) {
    close();
    return open(kReplying, port);
}

std::optional<ListenError> EpollListener::listenCountOnly(std::uint16_t port) {
    shut(kCountOnly);
    return open(kCountOnly, port);
}

std::variant<int, ListenError> EpollListener::bound(std::uint16_t port) const {
    // Only the low ports need rights this process may lack.
    if (source_ && port != 0 && port < 1024) {
        return source_(port);
    }
    int error = 0;
    const int fd = listenOnLoopback(port, error);
    if (fd < 0) {
        return errorFrom(error);
    }
    return fd;
}

std::optional<ListenError> EpollListener::open(Door door, std::uint16_t port) {
    if (auto error = ensureEventSet()) {
        return error;
    }
    auto socket = bound(port);
    if (const auto* error = std::get_if<ListenError>(&socket)) {
        return *error;
    }
    const int fd = std::get<int>(socket);
    sockaddr_in address{};
    socklen_t length = sizeof address;
    // A socket from elsewhere is made nonblocking here.
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int number = errno;
        ::close(fd);
        return errorFrom(number);
    }
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, door] { acceptPending(door); });
    // Accepting stays stopped for a new socket too while descriptors are short.
    notifier->setEnabled(!paused_);
    doors_[door] = Socket{fd, ntohs(address.sin_port), notifier};
    return std::nullopt;
}

void EpollListener::shut(Door door) {
    Socket& socket = doors_[door];
    if (socket.notifier != nullptr) {
        // It may be the very notifier whose signal is running now.
        socket.notifier->setEnabled(false);
        socket.notifier->deleteLater();
    }
    if (socket.fd >= 0) {
        // A socket handed over by the helper is also held there, for the next Resume: shutting it
        // down stops the listening itself, so a paused program refuses connections rather than
        // leaving them waiting. The port stays bound to it.
        ::shutdown(socket.fd, SHUT_RDWR);
        ::close(socket.fd);
    }
    socket = Socket{};
}

void EpollListener::close() {
    shut(kReplying);
    shut(kCountOnly);
    paused_ = false;
    while (oldest_ >= 0) {
        drop(oldest_);
    }
    // A timer still set fires once more, finds nothing due and stays quiet.
}

bool EpollListener::isListening() const {
    return doors_[kReplying].fd >= 0;
}

std::size_t EpollListener::openConnections() const {
    return open_;
}

std::uint16_t EpollListener::localPort() const {
    return doors_[kReplying].port;
}

std::uint16_t EpollListener::countOnlyPort() const {
    return doors_[kCountOnly].port;
}

void EpollListener::onReady() {
    std::array<epoll_event, kBatch> ready;
    for (int round = 0; round < kRounds && epoll_ >= 0; ++round) {
        const int count = ::epoll_wait(epoll_, ready.data(), kBatch, 0);
        if (count <= 0) {
            return;
        }
        now_ = Clock::now();
        for (int i = 0; i < count; ++i) {
            dispatch(ready[i].data.u64, ready[i].events);
        }
        if (count <= kBusyRound) {
            return;
        }
    }
}

// Events in one batch may name a descriptor that an earlier event of the same batch closed and
// the system then handed out again; the generation in the tag tells the two apart.
void EpollListener::dispatch(std::uint64_t tag, std::uint32_t ready) {
    const int fd = static_cast<int>(tag & 0xffff'ffffU);
    const auto generation = static_cast<std::uint32_t>(tag >> 32);
    if (generation == kTimerGeneration) {
        expireSilent();
        return;
    }
    if ((ready & EPOLLOUT) != 0 && isCurrent(fd, generation)) {
        flush(fd);
    }
    if ((ready & (EPOLLIN | EPOLLERR | EPOLLHUP)) != 0 && isCurrent(fd, generation)) {
        serve(fd);
    }
}

void EpollListener::acceptPending(Door door) {
    const int listener = doors_[door].fd;
    now_ = Clock::now();
    for (int attempt = 0; attempt < kAcceptsPerPass && doors_[door].fd == listener; ++attempt) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            admit(fd, door);
            continue;
        }
        const int number = errno;
        if (number == EAGAIN || number == EWOULDBLOCK) {
            return;
        }
        if (number == EINTR || number == ECONNABORTED || number == EPROTO) {
            continue;  // that one connection is gone; the others are still waiting
        }
        // Out of descriptors is reported before the queue is looked at: only give up a
        // connection for one that is really waiting.
        if ((number == EMFILE || number == ENFILE) && !connectionWaiting(listener)) {
            return;
        }
        if ((number == EMFILE || number == ENFILE) && oldest_ >= 0) {
            drop(oldest_);
            continue;
        }
        // Out of descriptors with none of our own to give up, or out of memory: waiting is the
        // only cure, and retrying at once would spin.
        pauseAccepting();
        return;
    }
}

void EpollListener::admit(int fd, Door door) {
    if (open_ >= limits_.maxConnections && oldest_ >= 0) {
        drop(oldest_);
    }
    if (static_cast<std::size_t>(fd) >= byFd_.size()) {
        byFd_.resize(static_cast<std::size_t>(fd) + 1);
    }
    Connection& connection = byFd_[fd];
    connection.generation = nextGeneration();
    connection.open = true;
    connection.requested = false;
    connection.countOnly = door == kCountOnly;
    connection.acceptedAt = now_;
    connection.older = newest_;
    connection.newer = -1;
    (newest_ >= 0 ? byFd_[newest_].newer : oldest_) = fd;
    newest_ = fd;
    ++open_;
    if (connection.countOnly) {
        readOrWatch(fd);
    } else {
        send(fd);
    }
    if (!armed_) {
        armTimer();
    }
}

// The reply goes out before anything is read: the request never changes it.
void EpollListener::send(int fd) {
    Connection& connection = byFd_[fd];
    const std::string_view reply = events_.reply ? events_.reply() : std::string_view{};
    const ssize_t sent = reply.empty() ? 0 : ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        drop(fd);
        return;
    }
    const auto taken = static_cast<std::size_t>(sent > 0 ? sent : 0);
    if (taken < reply.size()) {
        connection.unsent.assign(reply.substr(taken));
        if (!setInterest(epoll_, EPOLL_CTL_ADD, fd, EPOLLIN | EPOLLOUT,
                         tagOf(fd, connection.generation))) {
            drop(fd);
        }
        return;
    }
    readOrWatch(fd);
}

// A browser sends its request right behind the connection, so it has usually arrived by the time
// the connection is accepted: one read then serves it without ever entering the epoll set.
void EpollListener::readOrWatch(int fd) {
    const Drained drained = drain(fd, byFd_[fd].countOnly ? kCountOnlyReadLimit : kDrainLimit);
    if (drained != Drained::Nothing) {
        finish(fd, drained == Drained::Data);
    } else if (!setInterest(epoll_, EPOLL_CTL_ADD, fd, EPOLLIN, tagOf(fd, byFd_[fd].generation))) {
        drop(fd);
    }
}

void EpollListener::serve(int fd) {
    // A count-only peer is sent nothing, so nothing can be cut short: it is closed after one read.
    const Drained drained = drain(fd, byFd_[fd].countOnly ? kCountOnlyReadLimit : kDrainLimit);
    if (drained == Drained::Nothing) {
        return;
    }
    Connection& connection = byFd_[fd];
    if (connection.unsent.empty()) {
        finish(fd, drained == Drained::Data);
        return;
    }
    // Closing now would cut the reply short. Whatever else the peer sends is of no interest; a
    // peer that has gone fails the next send and is dropped there.
    connection.requested = connection.requested || drained == Drained::Data;
    watch(fd, EPOLLOUT);
}

// Unread bytes left in the socket would make the close a reset, which can cost the browser the
// reply it has not read yet; so whatever the browser sent is read and thrown away first.
EpollListener::Drained EpollListener::drain(int fd, std::size_t limit) {
    std::size_t total = 0;
    while (total < limit) {
        const ssize_t got = ::recv(fd, scratch_.data(), scratch_.size(), 0);
        if (got > 0) {
            total += static_cast<std::size_t>(got);
            if (static_cast<std::size_t>(got) < scratch_.size()) {
                break;  // a short read means the socket is empty: spare the call that says so
            }
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        return total > 0 ? Drained::Data : Drained::Closed;
    }
    return total > 0 ? Drained::Data : Drained::Nothing;
}

void EpollListener::flush(int fd) {
    Connection& connection = byFd_[fd];
    if (connection.unsent.empty()) {
        return;
    }
    const ssize_t sent =
        ::send(fd, connection.unsent.data(), connection.unsent.size(), MSG_NOSIGNAL);
    if (sent < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            drop(fd);
        }
        return;
    }
    connection.unsent.erase(0, static_cast<std::size_t>(sent));
    if (!connection.unsent.empty()) {
        return;
    }
    if (connection.requested) {
        finish(fd, true);
    } else {
        watch(fd, EPOLLIN);
    }
}

void EpollListener::watch(int fd, std::uint32_t interest) {
    if (!setInterest(epoll_, EPOLL_CTL_MOD, fd, interest, tagOf(fd, byFd_[fd].generation))) {
        drop(fd);
    }
}

// The count goes up only after the connection is closed, so a handler that reads the number of
// open connections already sees this one gone.
void EpollListener::finish(int fd, bool served) {
    Connection& connection = byFd_[fd];
    (connection.older >= 0 ? byFd_[connection.older].newer : oldest_) = connection.newer;
    (connection.newer >= 0 ? byFd_[connection.newer].older : newest_) = connection.older;
    connection.open = false;
    std::string().swap(connection.unsent);
    --open_;
    ::close(fd);  // a failed close still releases the descriptor on Linux; nothing to retry
    if (served && events_.served) {
        events_.served();
    }
}

void EpollListener::drop(int fd) {
    finish(fd, false);
}

// Descriptors are short for the whole process, so both ports stop accepting.
void EpollListener::pauseAccepting() {
    for (const Socket& door : doors_) {
        if (door.notifier != nullptr) {
            door.notifier->setEnabled(false);
        }
    }
    paused_ = true;
    resumeAt_ = Clock::now() + kAcceptPause;
    armTimer();
}

void EpollListener::resumeAccepting() {
    paused_ = false;
    for (const Socket& door : doors_) {
        if (door.notifier != nullptr) {
            door.notifier->setEnabled(true);
        }
    }
}

void EpollListener::expireSilent() {
    std::uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t ignored = ::read(timer_, &expirations, sizeof expirations);
    armed_ = false;
    const Clock::time_point now = Clock::now();
    while (oldest_ >= 0 && byFd_[oldest_].acceptedAt + limits_.silentTimeout <= now) {
        drop(oldest_);
    }
    if (paused_ && resumeAt_ <= now) {
        resumeAccepting();
    }
    armTimer();
}

// Connections are linked in accept order and share one timeout, so the oldest deadline is the
// next one. A timer already set for an earlier moment is left alone: it fires a little early,
// finds nothing due and is set again, which is cheaper than resetting it on every accept.
void EpollListener::armTimer() {
    std::optional<Clock::time_point> next;
    if (oldest_ >= 0) {
        next = byFd_[oldest_].acceptedAt + limits_.silentTimeout;
    }
    if (paused_ && (!next || resumeAt_ < *next)) {
        next = resumeAt_;
    }
    if (!next || timer_ < 0 || (armed_ && armedFor_ <= *next)) {
        return;
    }
    itimerspec setting{};
    setting.it_value = toTimespec(*next);  // never all zeros, which would disarm it
    if (::timerfd_settime(timer_, TFD_TIMER_ABSTIME, &setting, nullptr) == 0) {
        armed_ = true;
        armedFor_ = *next;
    }
}

bool EpollListener::isCurrent(int fd, std::uint32_t generation) const {
    return fd >= 0 && static_cast<std::size_t>(fd) < byFd_.size() && byFd_[fd].open &&
           byFd_[fd].generation == generation;
}

std::uint32_t EpollListener::nextGeneration() {
    if (++generation_ == kTimerGeneration) {
        ++generation_;
    }
    return generation_;
}

}  // namespace tessel::platform
