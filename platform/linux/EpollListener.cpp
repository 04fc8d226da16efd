#include "platform/linux/EpollListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>

#include "platform/linux/LoopbackSocket.h"

namespace tessel::platform {
namespace {

// How often a steady stream of connections served is told: as often as the displays change.
constexpr int kBatchMs = 50;

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

}  // namespace

EpollListener::EpollListener(Limits limits)
    : limits_(limits), reply_(std::make_shared<const std::string>()) {
    raiseDescriptorLimit();
}

// The notifier and the timer go before the loop they call.
EpollListener::~EpollListener() {
    batch_.reset();
    notifier_.reset();
}

void EpollListener::setReply(std::string reply) {
    reply_ = std::make_shared<const std::string>(std::move(reply));
    if (loop_) {
        loop_->setReply(reply_);
    }
}

// The thread starts with the first port, so a listener that never listens costs nothing.
std::optional<ListenError> EpollListener::ensureLoop() {
    if (loop_) {
        return std::nullopt;
    }
    int error = 0;
    loop_ = ListenerLoop::start(limits_, error);
    if (!loop_) {
        return errorFrom(error);
    }
    loop_->setReply(reply_);
    notifier_ = std::make_unique<QSocketNotifier>(loop_->servedEvent(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { takeServed(); });
    // Said now, while descriptors are free: the sanitizers' first check of a call on this type
    // needs one, and by the first count a flood may have taken them all.
    notifier_->setEnabled(true);
    batch_ = std::make_unique<QTimer>();
    batch_->setInterval(kBatchMs);
    QObject::connect(batch_.get(), &QTimer::timeout, [this] { batch(); });
    return std::nullopt;
}

// The first connection served after a quiet spell is told at once; the ones that follow it wait
// for the batch, so a flood wakes this thread twenty times a second, not once per pass.
void EpollListener::takeServed() {
    notifier_->setEnabled(false);
    batch_->start();
    tell();
}

void EpollListener::batch() {
    if (!tell()) {
        batch_->stop();
        notifier_->setEnabled(true);  // a count that came meanwhile keeps its descriptor readable
    }
}

// Whether there was anything to tell. The count is taken first: it clears the wake-up that the
// names handed over after it ring again.
bool EpollListener::tell() {
    const std::uint64_t served = loop_->takeServed();
    core::NameTally* names = loop_->takeNames();
    if (served != 0 && served_) {
        served_(served);
    }
    if (names != nullptr) {
        if (named_) {
            named_(*names);
        }
        loop_->returnNames(names);
    }
    return served != 0 || names != nullptr;
}

std::optional<ListenError> EpollListener::listen(std::uint16_t port) {
    close();
    return open(ListenerLoop::kReplying, port);
}

std::optional<ListenError> EpollListener::listenCountOnly(std::uint16_t port) {
    if (loop_) {
        loop_->shut(ListenerLoop::kCountOnly);
    }
    ports_[ListenerLoop::kCountOnly] = 0;
    return open(ListenerLoop::kCountOnly, port);
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

std::optional<ListenError> EpollListener::open(ListenerLoop::Door door, std::uint16_t port) {
    if (auto error = ensureLoop()) {
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
    ports_[door] = ntohs(address.sin_port);
    loop_->open(door, fd);
    return std::nullopt;
}

// What was counted before the ports close is told now, not at the next batch: a pause or the end
// may come first. The tally the loop handed over goes back before the close, so the loop can hand
// over the one it fills.
void EpollListener::close() {
    if (loop_) {
        tell();
        loop_->close();
        tell();
    }
    ports_ = {};
}

bool EpollListener::isListening() const {
    return ports_[ListenerLoop::kReplying] != 0;
}

std::size_t EpollListener::openConnections() const {
    return loop_ ? loop_->openConnections() : 0;
}

}  // namespace tessel::platform
