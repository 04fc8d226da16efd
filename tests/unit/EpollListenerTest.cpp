#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Reply.h"
#include "platform/linux/EpollListener.h"

using namespace std::chrono_literals;
using tessel::platform::EpollListener;
using tessel::platform::kAddressInUseNumber;

namespace {

const std::string kReply = tessel::responder::buildReply("/opt/tessel/data/Tessel.gif");
const std::string kRequest = "GET /banner.gif HTTP/1.0\r\nHost: ads.example\r\n\r\n";

// Runs the event loop, which drives the listener, until the condition holds or time runs out.
bool pumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 2000ms) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ::usleep(200);
    }
    return true;
}

// Lets the listener run for a while when the point is that nothing happens.
void pumpFor(std::chrono::milliseconds period) {
    pumpUntil([] { return false; }, period);
}

// A browser stand-in: a nonblocking socket, so the test thread can keep the listener running.
class Peer final {
public:
    explicit Peer(std::uint16_t port, const char* address = "127.0.0.1")
        : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(port);
        ::inet_pton(AF_INET, address, &target.sin_addr);
        // The kernel completes the handshake on its own, so a blocking connect cannot hang here.
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0;
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    }
    ~Peer() { hangUp(); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool connected() const { return connected_; }
    const std::string& received() const { return received_; }
    bool sawEnd() const { return ended_; }

    // Reads whatever has arrived; true once the server's side has closed.
    bool poll() {
        char buffer[4096];
        while (fd_ >= 0 && !ended_) {
            const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
            if (got > 0) {
                received_.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                ended_ = true;
            } else {
                break;
            }
        }
        return ended_;
    }
    bool hasReply() {
        poll();
        return received_.size() >= kReply.size();
    }
    // Sends as much as the socket takes now; returns bytes taken, or -1 once the server is gone.
    long send(std::string_view bytes) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
        }
        return static_cast<long>(sent);
    }
    void hangUp() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
    bool connected_ = false;
    bool ended_ = false;
    std::string received_;
};

// Uses up every descriptor the process may open, until destroyed.
class DescriptorsExhausted final {
public:
    DescriptorsExhausted() {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = 256;  // far above what the test holds, far below the usual limit
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC); fd >= 0;
             fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) {
            held_.push_back(fd);
        }
    }
    ~DescriptorsExhausted() {
        for (const int fd : held_) {
            ::close(fd);
        }
        ::setrlimit(RLIMIT_NOFILE, &saved_);
    }
    DescriptorsExhausted(const DescriptorsExhausted&) = delete;
    DescriptorsExhausted& operator=(const DescriptorsExhausted&) = delete;

private:
    rlimit saved_{};
    std::vector<int> held_;
};

class EpollListenerTest : public ::testing::Test {
protected:
    void start(EpollListener::Limits limits = {}) {
        listener_ = std::make_unique<EpollListener>(limits);
        listener_->setEvents({[] { return std::string_view(kReply); },
                              [this] {
                                  ++served_;
                                  openWhenServed_ = listener_->openConnections();
                              }});
        ASSERT_FALSE(listener_->listen(0).has_value());
        ASSERT_FALSE(listener_->listenCountOnly(0).has_value());
        port_ = listener_->localPort();
        ASSERT_NE(port_, 0);
    }
    EpollListener& listener() { return *listener_; }
    std::unique_ptr<Peer> connectPeer() { return std::make_unique<Peer>(port_); }
    // Connects and waits until the listener has accepted and answered.
    std::unique_ptr<Peer> answeredPeer() {
        auto peer = connectPeer();
        EXPECT_TRUE(pumpUntil([&] { return peer->hasReply(); }));
        return peer;
    }

    std::unique_ptr<EpollListener> listener_;
    std::uint16_t port_ = 0;
    int served_ = 0;
    std::size_t openWhenServed_ = 99;
};

// --- Answering -------------------------------------------------------------------------------

TEST_F(EpollListenerTest, ReplyArrivesBeforeAnyRequestIsSent) {
    start();
    auto peer = answeredPeer();
    EXPECT_EQ(peer->received(), kReply);
    EXPECT_FALSE(peer->sawEnd());
    EXPECT_EQ(served_, 0);
}

TEST_F(EpollListenerTest, ChangedReplyAppliesFromTheNextConnection) {
    start();
    std::string reply = "first";
    listener().setEvents({[&] { return std::string_view(reply); }, [] {}});
    Peer first(port_);
    ASSERT_TRUE(pumpUntil([&] { return first.poll() || first.received() == "first"; }));
    reply = "second";
    Peer second(port_);
    ASSERT_TRUE(pumpUntil([&] { return second.poll() || second.received() == "second"; }));
    EXPECT_EQ(first.received(), "first");
}

TEST_F(EpollListenerTest, RequestClosesAndCountsOnceAfterTheClose) {
    start();
    auto peer = answeredPeer();
    ASSERT_GT(peer->send(kRequest.substr(0, 10)), 0);
    ASSERT_GT(peer->send(kRequest.substr(10)), 0);
    ASSERT_TRUE(pumpUntil([&] { return peer->poll(); }));
    EXPECT_EQ(peer->received(), kReply);
    pumpFor(50ms);
    EXPECT_EQ(served_, 1);
    EXPECT_EQ(openWhenServed_, 0U);
    EXPECT_EQ(listener().openConnections(), 0U);
}

TEST_F(EpollListenerTest, RequestSentBeforeTheReplyIsReadStillGetsTheReply) {
    start();
    Peer peer(port_);
    ASSERT_GT(peer.send(kRequest), 0);
    ASSERT_TRUE(pumpUntil([&] { return peer.poll(); }));
    EXPECT_EQ(peer.received(), kReply);
    EXPECT_EQ(served_, 1);
}

TEST_F(EpollListenerTest, MegabyteSenderGetsTheWholeReplyAndCountsOnce) {
    start();
    Peer peer(port_);
    const std::string chunk(64 * 1024, 'x');
    std::size_t sent = 0;
    const bool gone = pumpUntil([&] {
        const long taken = peer.send(chunk);
        sent += taken > 0 ? static_cast<std::size_t>(taken) : 0;
        return taken < 0 || sent >= 1024 * 1024;
    });
    ASSERT_TRUE(gone);
    ASSERT_TRUE(pumpUntil([&] { return peer.poll(); }));
    EXPECT_EQ(peer.received(), kReply);
    pumpFor(50ms);
    EXPECT_EQ(served_, 1);
    EXPECT_EQ(listener().openConnections(), 0U);
}

TEST_F(EpollListenerTest, TwoHundredConnectionsAtOnceAreAllAnsweredAndCounted) {
    start();
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < 200; ++i) {
        peers.push_back(connectPeer());
        ASSERT_TRUE(peers.back()->connected());
        ASSERT_GT(peers.back()->send(kRequest), 0);
    }
    ASSERT_TRUE(pumpUntil([&] { return served_ == 200; }));
    for (auto& peer : peers) {
        ASSERT_TRUE(pumpUntil([&] { return peer->poll(); }));
        EXPECT_EQ(peer->received(), kReply);
    }
    pumpFor(50ms);
    EXPECT_EQ(served_, 200);
    EXPECT_EQ(listener().openConnections(), 0U);
}

TEST_F(EpollListenerTest, ReplyTooBigForOneSendArrivesWholeBeforeTheClose) {
    start();
    const std::string big(8 * 1024 * 1024, 'r');
    listener().setEvents({[&] { return std::string_view(big); }, [this] { ++served_; }});
    Peer peer(port_);
    ASSERT_GT(peer.send(kRequest), 0);
    ASSERT_TRUE(pumpUntil([&] { return peer.poll(); }, 5000ms));
    EXPECT_EQ(peer.received().size(), big.size());
    EXPECT_TRUE(peer.received() == big);
    EXPECT_EQ(served_, 1);
}

// --- The count-only port ---------------------------------------------------------------------

// Nothing is ever sent there; the first bytes count, like a request on the other port.
enum class Knock { Greets, HangsUp, StaysSilent };
struct CountOnlyRow {
    const char* name;
    Knock knock;
    int counted;
    bool beforeAccept = false;  // the knock is already there when the connection is accepted
};
inline void PrintTo(const CountOnlyRow& row, std::ostream* out) {
    *out << row.name;
}

class CountOnlyPort : public EpollListenerTest,
                      public ::testing::WithParamInterface<CountOnlyRow> {};

TEST_P(CountOnlyPort, ClosesAtTheFirstBytesSendingNothing) {
    start({.silentTimeout = 200ms, .maxConnections = 16});
    Peer peer(listener().countOnlyPort());
    ASSERT_TRUE(GetParam().beforeAccept ||
                pumpUntil([&] { return listener().openConnections() == 1; }));
    if (GetParam().knock == Knock::Greets) {
        ASSERT_GT(peer.send(std::string(517, '\x16')), 0);  // a TLS ClientHello's size
    } else if (GetParam().knock == Knock::HangsUp) {
        peer.hangUp();
    }
    const bool hungUp = GetParam().knock == Knock::HangsUp;
    ASSERT_TRUE(
        pumpUntil([&] { return listener().openConnections() == 0 && (hungUp || peer.poll()); }));
    EXPECT_TRUE(hungUp || peer.received().empty());
    pumpFor(50ms);
    EXPECT_EQ(served_, GetParam().counted);
}

INSTANTIATE_TEST_SUITE_P(Peers, CountOnlyPort,
                         ::testing::Values(CountOnlyRow{"Greets", Knock::Greets, 1},
                                           CountOnlyRow{"HangsUp", Knock::HangsUp, 0},
                                           CountOnlyRow{"GreetsAtOnce", Knock::Greets, 1, true},
                                           CountOnlyRow{"HangsUpAtOnce", Knock::HangsUp, 0, true},
                                           CountOnlyRow{"StaysSilent", Knock::StaysSilent, 0}));

// --- Peers that never ask --------------------------------------------------------------------

TEST_F(EpollListenerTest, SilentPeerIsClosedAfterTheTimeoutUncounted) {
    start({.silentTimeout = 200ms, .maxConnections = 16});
    const auto began = std::chrono::steady_clock::now();
    auto peer = answeredPeer();
    EXPECT_EQ(listener().openConnections(), 1U);
    ASSERT_TRUE(pumpUntil([&] { return peer->poll(); }));
    const auto waited = std::chrono::steady_clock::now() - began;
    EXPECT_GE(waited, 190ms);
    EXPECT_LT(waited, 1000ms);
    EXPECT_EQ(peer->received(), kReply);
    EXPECT_EQ(listener().openConnections(), 0U);
    EXPECT_EQ(served_, 0);
}

TEST_F(EpollListenerTest, PeerThatClosesFirstIsNotCounted) {
    start();
    auto peer = answeredPeer();
    peer->hangUp();
    ASSERT_TRUE(pumpUntil([&] { return listener().openConnections() == 0; }));
    pumpFor(50ms);
    EXPECT_EQ(served_, 0);
}

TEST_F(EpollListenerTest, KeepsListeningWhileConnectionsAreOpen) {
    start();
    auto first = answeredPeer();
    auto second = answeredPeer();
    EXPECT_TRUE(listener().isListening());
    EXPECT_EQ(listener().openConnections(), 2U);
    auto third = answeredPeer();
    ASSERT_GT(third->send(kRequest), 0);
    ASSERT_TRUE(pumpUntil([&] { return served_ == 1; }));
    EXPECT_EQ(listener().openConnections(), 2U);
    EXPECT_FALSE(first->poll());
    EXPECT_FALSE(second->poll());
}

TEST_F(EpollListenerTest, BoundDropsTheOldestConnection) {
    start({.silentTimeout = 10s, .maxConnections = 2});
    auto oldest = answeredPeer();
    auto middle = answeredPeer();
    auto newest = answeredPeer();
    ASSERT_TRUE(pumpUntil([&] { return oldest->poll(); }));
    EXPECT_EQ(listener().openConnections(), 2U);
    EXPECT_FALSE(middle->poll());
    EXPECT_FALSE(newest->poll());
    EXPECT_EQ(served_, 0);
}

TEST_F(EpollListenerTest, OutOfDescriptorsDropsTheOldestToAnswerTheNewest) {
    start();
    auto oldest = answeredPeer();
    Peer newest(port_);
    {
        const DescriptorsExhausted exhausted;
        ASSERT_TRUE(pumpUntil([&] { return newest.hasReply(); }));
    }
    EXPECT_TRUE(pumpUntil([&] { return oldest->poll(); }));
    EXPECT_FALSE(newest.poll());
    EXPECT_EQ(listener().openConnections(), 1U);
    EXPECT_EQ(served_, 0);
}

TEST_F(EpollListenerTest, OutOfDescriptorsWithNoneToDropWaitsAndThenAnswers) {
    start();
    Peer waiting(port_);
    {
        const DescriptorsExhausted exhausted;
        pumpFor(150ms);
        EXPECT_FALSE(waiting.hasReply());
        EXPECT_TRUE(listener().isListening());
    }
    ASSERT_TRUE(pumpUntil([&] { return waiting.hasReply(); }));
    ASSERT_GT(waiting.send(kRequest), 0);
    ASSERT_TRUE(pumpUntil([&] { return served_ == 1; }));
}

// --- Listening -------------------------------------------------------------------------------

TEST_F(EpollListenerTest, CloseEndsOpenConnectionsUncountedAndListenWorksAgain) {
    start();
    auto first = answeredPeer();
    auto second = answeredPeer();
    const std::uint16_t countOnly = listener().countOnlyPort();
    Peer third(countOnly);
    ASSERT_TRUE(pumpUntil([&] { return listener().openConnections() == 3; }));
    listener().close();
    EXPECT_FALSE(listener().isListening());
    EXPECT_EQ(listener().openConnections(), 0U);
    EXPECT_TRUE(first->poll());
    EXPECT_TRUE(second->poll());
    EXPECT_TRUE(third.poll());
    EXPECT_FALSE(Peer(countOnly).connected());
    pumpFor(50ms);
    EXPECT_EQ(served_, 0);

    ASSERT_FALSE(listener().listen(0).has_value());
    EXPECT_TRUE(listener().isListening());
    port_ = listener().localPort();
    auto again = answeredPeer();
    ASSERT_GT(again->send(kRequest), 0);
    ASSERT_TRUE(pumpUntil([&] { return served_ == 1; }));
}

TEST_F(EpollListenerTest, SecondListenerOnTheSamePortReportsAddressInUse) {
    start();
    EpollListener second;
    const auto error = second.listen(port_);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->number, kAddressInUseNumber);
    EXPECT_FALSE(error->description.empty());
    EXPECT_FALSE(second.isListening());
    EXPECT_TRUE(listener().isListening());

    ASSERT_FALSE(second.listen(0).has_value());
    const auto taken = second.listenCountOnly(listener().countOnlyPort());
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->number, kAddressInUseNumber);
    EXPECT_TRUE(second.isListening());
}

TEST_F(EpollListenerTest, BindsLoopbackOnly) {
    start();
    bool found = false;
    for (int fd = 0; fd < 1024; ++fd) {
        int accepting = 0;
        socklen_t size = sizeof accepting;
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &size) != 0 || !accepting ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            address.sin_family != AF_INET || ntohs(address.sin_port) != port_) {
            continue;
        }
        found = true;
        EXPECT_EQ(ntohl(address.sin_addr.s_addr), INADDR_LOOPBACK);
    }
    EXPECT_TRUE(found);
    // Another loopback address reaches a wildcard bind but not this one.
    Peer stranger(port_, "127.0.0.2");
    EXPECT_FALSE(stranger.connected());
}

}  // namespace
