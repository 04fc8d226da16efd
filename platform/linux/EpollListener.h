#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include "platform/RedirectListener.h"
#include "platform/linux/ListenerLoop.h"

class QSocketNotifier;
class QTimer;

namespace tessel::platform {

// The redirect listener on Linux. The sockets are bound (or taken from the helper) here, on the
// owner's thread, and then handed to a ListenerLoop: its own thread accepts and answers every
// connection in an epoll set of its own, so the window's thread never delays a browser, and an
// idle listener wakes nothing. The owner's event loop hears of connections served through one
// descriptor: the first at once, then, while they keep coming, in one batch every 50 ms, however
// many there were.
// Binds 127.0.0.1 only: nothing from another machine can reach it.
class EpollListener final : public RedirectListener {
public:
    using Limits = ListenerLoop::Limits;

    explicit EpollListener(Limits limits = {});
    ~EpollListener() override;
    EpollListener(const EpollListener&) = delete;
    EpollListener& operator=(const EpollListener&) = delete;

    // Where listening sockets come from when this process may not bind the port itself: a
    // socket already listening on 127.0.0.1 at that port, or why there is none.
    using Source = std::function<std::variant<int, ListenError>(std::uint16_t port)>;
    // Every later listen() on a port below 1024 adopts the source's socket instead of binding one.
    void takeSocketsFrom(Source source) { source_ = std::move(source); }

    void onServed(Served served) override { served_ = std::move(served); }
    void onNamed(Named named) override { named_ = std::move(named); }
    void setReply(std::string reply) override;
    std::optional<ListenError> listen(std::uint16_t port) override;
    std::optional<ListenError> listenCountOnly(std::uint16_t port) override;
    void close() override;
    bool isListening() const override;
    std::size_t openConnections() const override;

    // The ports actually bound (useful after listen(0) and listenCountOnly(0)).
    std::uint16_t localPort() const { return ports_[ListenerLoop::kReplying]; }
    std::uint16_t countOnlyPort() const { return ports_[ListenerLoop::kCountOnly]; }

private:
    std::optional<ListenError> ensureLoop();
    std::optional<ListenError> open(ListenerLoop::Door door, std::uint16_t port);
    std::variant<int, ListenError> bound(std::uint16_t port) const;
    void takeServed();
    void batch();
    bool tell();

    Limits limits_;
    Served served_;
    Named named_;
    Source source_;
    std::shared_ptr<const std::string> reply_;
    std::array<std::uint16_t, 2> ports_{};  // 0 while the door is shut
    std::unique_ptr<ListenerLoop> loop_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QTimer> batch_;  // runs while connections keep being served
};

}  // namespace tessel::platform
