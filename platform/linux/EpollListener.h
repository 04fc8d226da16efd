#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include <QObject>

#include "platform/RedirectListener.h"

class QSocketNotifier;

namespace tessel::platform {

// The redirect listener on Linux. Every connection lives in the listener's own epoll set and the
// event loop watches only that set's descriptor, so idle connections cost nothing per pass. The
// listening sockets the loop watches themselves: a new connection, by far the most common event,
// is then accepted as soon as the loop's own poll sees it, with no epoll_wait after it.
// Binds 127.0.0.1 only: nothing from another machine can reach it.
class EpollListener final : public QObject, public RedirectListener {
    Q_OBJECT
public:
    struct Limits {
        std::chrono::milliseconds silentTimeout{10'000};  // a peer that sends nothing is dropped
        std::size_t maxConnections = 4096;                // the oldest is dropped beyond this
    };

    explicit EpollListener(Limits limits, QObject* parent = nullptr);
    explicit EpollListener(QObject* parent = nullptr) : EpollListener(Limits{}, parent) {}
    ~EpollListener() override;

    // Where listening sockets come from when this process may not bind the port itself: a
    // socket already listening on 127.0.0.1 at that port, or why there is none.
    using Source = std::function<std::variant<int, ListenError>(std::uint16_t port)>;
    // Every later listen() on a port below 1024 adopts the source's socket instead of binding one.
    void takeSocketsFrom(Source source) { source_ = std::move(source); }

    void setEvents(Events events) override;
    std::optional<ListenError> listen(std::uint16_t port) override;
    std::optional<ListenError> listenCountOnly(std::uint16_t port) override;
    void close() override;
    bool isListening() const override;
    std::size_t openConnections() const override;

    // The ports actually bound (useful after listen(0) and listenCountOnly(0)).
    std::uint16_t localPort() const;
    std::uint16_t countOnlyPort() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Connection;
    enum class Drained { Nothing, Data, Closed };
    enum Door : std::size_t { kReplying, kCountOnly };
    struct Socket final {
        int fd = -1;
        std::uint16_t port = 0;
        QSocketNotifier* notifier = nullptr;  // a child of the listener
    };

    std::optional<ListenError> ensureEventSet();
    void onReady();
    void dispatch(std::uint64_t tag, std::uint32_t ready);
    std::optional<ListenError> open(Door door, std::uint16_t port);
    std::variant<int, ListenError> bound(std::uint16_t port) const;
    void shut(Door door);
    void acceptPending(Door door);
    void admit(int fd, Door door);
    void send(int fd);
    void readOrWatch(int fd);
    void serve(int fd);
    Drained drain(int fd, std::size_t limit);
    void flush(int fd);
    void watch(int fd, std::uint32_t interest);
    void finish(int fd, bool served);
    void drop(int fd);
    void pauseAccepting();
    void resumeAccepting();
    void expireSilent();
    void armTimer();
    bool isCurrent(int fd, std::uint32_t generation) const;
    std::uint32_t nextGeneration();

    Limits limits_;
    Events events_;
    Source source_;
    int epoll_ = -1;
    std::array<Socket, 2> doors_{};
    int timer_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    // Indexed by descriptor; slots are reused, never freed, so accepting allocates nothing once
    // the table has grown to the busiest moment.
    std::vector<Connection> byFd_;
    // Open connections in accept order, linked through byFd_: the head is the first to time out
    // and the first to go when the bound is reached, and closing unlinks in constant time.
    int oldest_ = -1;
    int newest_ = -1;
    std::size_t open_ = 0;
    std::uint32_t generation_ = 0;
    Clock::time_point now_{};  // read once per batch of events
    bool paused_ = false;
    Clock::time_point resumeAt_{};
    bool armed_ = false;
    Clock::time_point armedFor_{};
    std::vector<char> scratch_;
};

}  // namespace tessel::platform
