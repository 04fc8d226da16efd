#include "platform/linux/ListenerLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>

#include "core/ServerName.h"
#include "core/Statistics.h"
#include "platform/linux/EventFd.h"

namespace tessel::platform {
namespace {

// Enough events per epoll_wait to cover a burst of browsers, small enough to live on the stack.
constexpr int kBatch = 256;
// Accepts per readiness of a listening socket, so a flood of new connections cannot starve the
// ones already open (the socket stays ready and is picked up again next round).
constexpr int kAcceptsPerPass = 256;
constexpr std::size_t kScratchBytes = 16 * 1024;
// A request is a few hundred bytes; a peer that streams more than this is closed anyway.
constexpr std::size_t kDrainLimit = 256 * 1024;
// A TLS greeting is one read; nothing more from a count-only peer is of any use.
constexpr std::size_t kCountOnlyReadLimit = kScratchBytes;
// How long to stop accepting when the system has no descriptor left and none of ours to give up.
constexpr std::chrono::milliseconds kAcceptPause{100};
// The loop's own descriptors (the timer, the command event, the doors) carry generation 0,
// which no connection ever gets.
constexpr std::uint32_t kOwnGeneration = 0;

std::uint64_t tagOf(int fd, std::uint32_t generation) {
    return (std::uint64_t{generation} << 32) | static_cast<std::uint32_t>(fd);
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

void closeAllOf(std::initializer_list<int> fds) {
    for (const int fd : fds) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

}  // namespace

struct ListenerLoop::Connection final {
    std::uint32_t generation = 0;
    bool open = false;
    bool requested = false;  // request bytes arrived while part of the reply was still unsent
    bool countOnly = false;
    bool named = false;  // its first bytes were read for the name it asked for
    int older = -1;
    int newer = -1;
    Clock::time_point acceptedAt{};
    std::string unsent;  // only when the system did not take the whole reply at once
    // Kept with its storage when the slot is reused, so a name that fits costs no allocation.
    std::string name;
};

struct ListenerLoop::Command final {
    enum class Kind { Open, Shut, Close, Reply, Exit } kind = Kind::Close;
    Door door = kReplying;
    int fd = -1;
    std::shared_ptr<const std::string> reply = {};
};

std::unique_ptr<ListenerLoop> ListenerLoop::start(Limits limits, int& error) {
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    const int timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    const std::array<int, 3> events{::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC),
                                    ::eventfd(0, EFD_CLOEXEC),  // the owner blocks on it
                                    ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};
    error = errno;
    if (epoll >= 0 && timer >= 0 && events[0] >= 0 && events[1] >= 0 && events[2] >= 0 &&
        setInterest(epoll, EPOLL_CTL_ADD, timer, EPOLLIN, tagOf(timer, kOwnGeneration)) &&
        setInterest(epoll, EPOLL_CTL_ADD, events[0], EPOLLIN, tagOf(events[0], kOwnGeneration))) {
        return std::unique_ptr<ListenerLoop>(new ListenerLoop(limits, epoll, timer, events));
    }
    error = errno != 0 ? errno : error;
    closeAllOf({epoll, timer, events[0], events[1], events[2]});
    return nullptr;
}

ListenerLoop::ListenerLoop(Limits limits, int epoll, int timer, std::array<int, 3> events)
    : limits_(limits),
      epoll_(epoll),
      timer_(timer),
      commandEvent_(events[0]),
      ackEvent_(events[1]),
      servedEvent_(events[2]),
      command_(std::make_unique<Command>()),
      reply_(std::make_shared<const std::string>()),
      scratch_(kScratchBytes),
      thread_([this] { run(); }) {}

ListenerLoop::~ListenerLoop() {
    call({Command::Kind::Exit});
    thread_.join();
    closeAllOf({epoll_, timer_, commandEvent_, ackEvent_, servedEvent_});
}

void ListenerLoop::open(Door door, int fd) {
    call({Command::Kind::Open, door, fd});
}

void ListenerLoop::shut(Door door) {
    call({Command::Kind::Shut, door});
}

void ListenerLoop::close() {
    call({Command::Kind::Close});
}

void ListenerLoop::setReply(std::shared_ptr<const std::string> reply) {
    call({Command::Kind::Reply, kReplying, -1, std::move(reply)});
}

// One command at a time: the slot is the loop's to read from `posted_` until `done_` says it is
// carried out, and the owner's again after that.
void ListenerLoop::call(Command command) {
    *command_ = std::move(command);
    const std::uint64_t number = posted_.load(std::memory_order_relaxed) + 1;
    posted_.store(number, std::memory_order_release);
    ring(commandEvent_);
    while (done_.load(std::memory_order_acquire) != number) {
        clear(ackEvent_);
    }
}

std::uint64_t ListenerLoop::takeServed() {
    clear(servedEvent_);
    // Cleared before the count is taken: a connection counted after this wakes the owner again.
    // Sequentially consistent, with the two steps in finish(): either the loop sees the flag
    // cleared and wakes the owner again, or this exchange sees its count.
    wakePending_.store(false);
    return served_.exchange(0);
}

core::NameTally* ListenerLoop::takeNames() {
    return full_.exchange(nullptr);
}

// Sequentially consistent with offerNames(): either the loop finds the tally given back, or this
// finds the loop waiting for it and wakes it to hand its names over.
void ListenerLoop::returnNames(core::NameTally* names) {
    names->zero(core::kMostServers);
    spare_.store(names);
    if (namesWaiting_.load()) {
        ring(commandEvent_);
    }
}

void ListenerLoop::run() {
    std::array<epoll_event, kBatch> ready;
    while (!exiting_) {
        const int count = ::epoll_wait(epoll_, ready.data(), kBatch, -1);
        now_ = Clock::now();
        for (int i = 0; i < count; ++i) {
            dispatch(ready[i].data.u64, ready[i].events);
        }
        offerNames();
    }
}

// Once a pass, not once a connection: the owner reads a tally as a whole, so handing it over
// sooner would only wake it more often.
void ListenerLoop::offerNames() {
    if (filling_->empty()) {
        return;
    }
    namesWaiting_.store(true);
    core::NameTally* spare = spare_.exchange(nullptr);
    if (spare == nullptr) {
        return;  // the owner still reads the other one; it wakes this loop when it gives it back
    }
    namesWaiting_.store(false);
    full_.store(filling_);
    filling_ = spare;
    wakeOwner();
}

void ListenerLoop::wakeOwner() {
    if (!wakePending_.exchange(true)) {
        ring(servedEvent_);
    }
}

void ListenerLoop::runCommand() {
    clear(commandEvent_);
    const std::uint64_t number = posted_.load(std::memory_order_acquire);
    if (number == done_.load(std::memory_order_relaxed)) {
        return;
    }
    Command& command = *command_;
    switch (command.kind) {
        case Command::Kind::Open:
            doors_[command.door] = command.fd;
            if (!paused_) {
                setInterest(epoll_, EPOLL_CTL_ADD, command.fd, EPOLLIN,
                            tagOf(command.fd, kOwnGeneration));
            }
            break;
        case Command::Kind::Shut:
            shutDoor(command.door);
            break;
        case Command::Kind::Close:
            closeAll();
            offerNames();  // so the owner can take every name counted before it returns
            break;
        case Command::Kind::Reply:
            reply_ = std::move(command.reply);
            break;
        case Command::Kind::Exit:
            closeAll();
            exiting_ = true;
            break;
    }
    done_.store(number, std::memory_order_release);
    ring(ackEvent_);
}

// Events in one batch may name a descriptor that an earlier event of the same batch closed and
// the system then handed out again; the generation in the tag tells the two apart.
void ListenerLoop::dispatch(std::uint64_t tag, std::uint32_t ready) {
    const int fd = static_cast<int>(tag & 0xffff'ffffU);
    const auto generation = static_cast<std::uint32_t>(tag >> 32);
    if (generation == kOwnGeneration) {
        if (fd == commandEvent_) {
            runCommand();
        } else if (fd == timer_) {
            expireSilent();
        } else if (fd == doors_[kReplying] || fd == doors_[kCountOnly]) {
            acceptPending(fd == doors_[kReplying] ? kReplying : kCountOnly);
        }
        return;
    }
    if ((ready & EPOLLOUT) != 0 && isCurrent(fd, generation)) {
        flush(fd);
    }
    if ((ready & (EPOLLIN | EPOLLERR | EPOLLHUP)) != 0 && isCurrent(fd, generation)) {
        serve(fd);
    }
}

void ListenerLoop::shutDoor(Door door) {
    const int fd = doors_[door];
    if (fd < 0) {
        return;
    }
    // A socket handed over by the helper is also held there, for the next Resume: shutting it
    // down stops the listening itself, so a paused program refuses connections rather than
    // leaving them waiting. The port stays bound to it.
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    doors_[door] = -1;
}

void ListenerLoop::closeAll() {
    shutDoor(kReplying);
    shutDoor(kCountOnly);
    paused_ = false;
    while (oldest_ >= 0) {
        drop(oldest_);
    }
    // A timer still set fires once more, finds nothing due and stays quiet.
}

void ListenerLoop::acceptPending(Door door) {
    const int listener = doors_[door];
    for (int attempt = 0; attempt < kAcceptsPerPass; ++attempt) {
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
        setAccepting(false);
        return;
    }
}

void ListenerLoop::admit(int fd, Door door) {
    if (open_.load(std::memory_order_relaxed) >= limits_.maxConnections && oldest_ >= 0) {
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
    connection.named = false;
    connection.name.clear();
    connection.acceptedAt = now_;
    connection.older = newest_;
    connection.newer = -1;
    (newest_ >= 0 ? byFd_[newest_].newer : oldest_) = fd;
    newest_ = fd;
    open_.fetch_add(1, std::memory_order_relaxed);
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
void ListenerLoop::send(int fd) {
    Connection& connection = byFd_[fd];
    const std::string_view reply = *reply_;
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
void ListenerLoop::readOrWatch(int fd) {
    const Drained drained = drain(fd, byFd_[fd].countOnly ? kCountOnlyReadLimit : kDrainLimit);
    if (drained != Drained::Nothing) {
        finish(fd, drained == Drained::Data);
    } else if (!setInterest(epoll_, EPOLL_CTL_ADD, fd, EPOLLIN, tagOf(fd, byFd_[fd].generation))) {
        drop(fd);
    }
}

void ListenerLoop::serve(int fd) {
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
ListenerLoop::Drained ListenerLoop::drain(int fd, std::size_t limit) {
    std::size_t total = 0;
    while (total < limit) {
        const ssize_t got = ::recv(fd, scratch_.data(), scratch_.size(), 0);
        if (got > 0) {
            if (!byFd_[fd].named) {
                nameFrom(fd, {scratch_.data(), static_cast<std::size_t>(got)});
            }
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

void ListenerLoop::flush(int fd) {
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

void ListenerLoop::watch(int fd, std::uint32_t interest) {
    if (!setInterest(epoll_, EPOLL_CTL_MOD, fd, interest, tagOf(fd, byFd_[fd].generation))) {
        drop(fd);
    }
}

// The count goes up only after the connection is closed, so an owner that reads the number of
// open connections when told of it already sees this one gone.
void ListenerLoop::finish(int fd, bool served) {
    Connection& connection = byFd_[fd];
    (connection.older >= 0 ? byFd_[connection.older].newer : oldest_) = connection.newer;
    (connection.newer >= 0 ? byFd_[connection.newer].older : newest_) = connection.older;
    connection.open = false;
    std::string().swap(connection.unsent);
    open_.fetch_sub(1, std::memory_order_release);
    ::close(fd);  // a failed close still releases the descriptor on Linux; nothing to retry
    if (!served) {
        return;
    }
    filling_->add(connection.name);
    served_.fetch_add(1);
    wakeOwner();
}

// The name is read from the first bytes alone: a browser sends its whole request head, or its
// whole greeting, at once, and waiting for more would hold the connection for nothing.
void ListenerLoop::nameFrom(int fd, std::string_view firstBytes) {
    Connection& connection = byFd_[fd];
    connection.named = true;
    if (connection.countOnly) {
        core::serverNameFromHello(firstBytes, connection.name);
    } else {
        core::hostFromRequest(firstBytes, connection.name);
    }
}

void ListenerLoop::drop(int fd) {
    finish(fd, false);
}

// Descriptors are short for the whole process, so both doors stop accepting for a while.
void ListenerLoop::setAccepting(bool on) {
    for (const int door : doors_) {
        if (door >= 0) {
            setInterest(epoll_, on ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, door, EPOLLIN,
                        tagOf(door, kOwnGeneration));
        }
    }
    paused_ = !on;
    if (paused_) {
        resumeAt_ = Clock::now() + kAcceptPause;
        armTimer();
    }
}

void ListenerLoop::expireSilent() {
    clear(timer_);
    armed_ = false;
    const Clock::time_point now = Clock::now();
    while (oldest_ >= 0 && byFd_[oldest_].acceptedAt + limits_.silentTimeout <= now) {
        drop(oldest_);
    }
    if (paused_ && resumeAt_ <= now) {
        setAccepting(true);
    }
    armTimer();
}

// Connections are linked in accept order and share one timeout, so the oldest deadline is the
// next one. A timer already set for an earlier moment is left alone: it fires a little early,
// finds nothing due and is set again, which is cheaper than resetting it on every accept.
void ListenerLoop::armTimer() {
    std::optional<Clock::time_point> next;
    if (oldest_ >= 0) {
        next = byFd_[oldest_].acceptedAt + limits_.silentTimeout;
    }
    if (paused_ && (!next || resumeAt_ < *next)) {
        next = resumeAt_;
    }
    if (!next || (armed_ && armedFor_ <= *next)) {
        return;
    }
    itimerspec setting{};
    setting.it_value = toTimespec(*next);  // never all zeros, which would disarm it
    if (::timerfd_settime(timer_, TFD_TIMER_ABSTIME, &setting, nullptr) == 0) {
        armed_ = true;
        armedFor_ = *next;
    }
}

bool ListenerLoop::isCurrent(int fd, std::uint32_t generation) const {
    return fd >= 0 && static_cast<std::size_t>(fd) < byFd_.size() && byFd_[fd].open &&
           byFd_[fd].generation == generation;
}

std::uint32_t ListenerLoop::nextGeneration() {
    if (++generation_ == kOwnGeneration) {
        ++generation_;
    }
    return generation_;
}

}  // namespace tessel::platform
