#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include <QObject>

#include "platform/Listener.h"

class QSocketNotifier;

namespace tessel::platform {

// The redirect listener on Linux. Every connection lives in the listener's own epoll set and the
// event loop watches only that set's descriptor, so idle connections cost nothing per pass.
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

    void setEvents(Events events) override;
    std::optional<ListenError> listen(std::uint16_t port) override;
    void close() override;
    bool isListening() const override;
    std::size_t openConnections() const override;

    // The port actually bound (useful after listen(0)).
    std::uint16_t localPort() const;

private:
    struct Connection;
    void onReady();
    void acceptPending();
    void serve(int fd, std::uint32_t events);
    void flush(int fd);
    void drop(int fd);
    void expireSilent();
    void armTimer();

    Limits limits_;
    Events events_;
    int epoll_ = -1;
    int listener_ = -1;
    int timer_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<std::unique_ptr<Connection>> byFd_;
    std::deque<std::pair<int, std::uint64_t>> order_;  // (fd, generation), oldest first
    std::size_t open_ = 0;
    std::uint64_t generation_ = 0;
};

}  // namespace tessel::platform
