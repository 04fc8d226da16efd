#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <map>
#include <memory>
#include <thread>

#include "core/Reply.h"
#include "platform/linux/EpollListener.h"
#include "platform/qt/QtWorker.h"

using namespace std::chrono_literals;
using namespace tessel::platform;

namespace {

const std::string kReply = tessel::core::buildReply("/opt/tessel/data/Tessel.gif");
constexpr std::size_t kRequest = 47;  // bytes: the listener never looks at them

// Runs the event loop, which drives the listener, until `done` holds or the time is up.
bool pump(const std::function<bool()>& done, std::chrono::milliseconds limit = 3000ms) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

// A browser stand-in on a nonblocking socket, so this thread can keep the listener running.
struct Peer final {
    explicit Peer(std::uint16_t port) {
        const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    ~Peer() { ::close(fd); }
    // Reads what has arrived; true once the server has closed (end: 0 for a close, else errno).
    bool poll() {
        char buffer[65536];
        ssize_t got = 0;
        while (end < 0 && (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        }
        end = end < 0 && (got == 0 || errno != EAGAIN) ? (got == 0 ? 0 : errno) : end;
        return end >= 0;
    }
    long send(std::size_t size) {
        return ::send(fd, std::string(size, 'x').data(), size, MSG_NOSIGNAL);
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int end = -1;
    std::string text;
};

struct Rig final {
    explicit Rig(EpollListener::Limits limits) : listener(limits) {
        listener.onServed([this](std::uint64_t connections) {
            served.insert(served.end(), connections, listener.openConnections());
        });
        listener.setReply(kReply);
        EXPECT_FALSE(listener.listen(0) || listener.listenCountOnly(0));
    }
    EpollListener listener;
    std::vector<std::size_t> served;  // connections still open as each one is counted
};

// One peer against a fresh listener: what it sends and when, and how the connection must end.
struct Row final {
    const char* name;
    std::vector<std::size_t> served;  // connections still open as each one was counted
    bool https = false;               // to the count-only port, 443 when in use
    bool early = false;  // sends before the connection is accepted, reading nothing first
    std::size_t send = 0;
    bool hangUp = false;
    bool big = false;  // a reply far bigger than one send takes
    int end = 0;       // 0 for a close, else the error the peer sees
    std::chrono::milliseconds timeout = 10s;
};

TEST(EpollListener, OnePeer) {
    const Row rows[] = {
        {.name = "Silent", .served = {}, .timeout = 1s},
        {.name = "Request", .served = {0}, .send = kRequest},
        {.name = "BigRequestEarly", .served = {0}, .early = true, .send = 65536, .big = true},
        {.name = "HangUp", .served = {}, .hangUp = true},
        {.name = "CountOnlyGreeting", .served = {0}, .https = true, .send = 517},
        // At most 16 KB is read: the rest is left unread, so the close is a reset.
        {.name = "CountOnly16KB", .served = {0}, .https = true, .send = 65536, .end = ECONNRESET},
        {.name = "CountOnlyHangUp", .served = {}, .https = true, .early = true, .hangUp = true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig({.silentTimeout = row.timeout});
        const std::string reply = row.big ? kReply + std::string(8 << 20, 'r') : kReply;
        rig.listener.setReply(reply);
        const std::string expected = row.https ? "" : reply;
        const auto began = std::chrono::steady_clock::now();
        Peer peer(row.https ? rig.listener.countOnlyPort() : rig.listener.localPort());
        EXPECT_TRUE(pump([&] {
            return row.early || peer.poll() ||
                   (peer.text == expected && rig.listener.openConnections() == 1);
        }));
        EXPECT_GE(peer.send(row.send), static_cast<long>(std::min<std::size_t>(row.send, 40'000)));
        if (row.hangUp) {
            ::shutdown(peer.fd, SHUT_WR);
        }
        const bool closed = pump([&] { return peer.poll(); }, 5000ms);
        // A silent peer is closed once its time is up, and not long after.
        const auto took = std::chrono::steady_clock::now() - began;
        const bool inTime =
            row.timeout == 10s || (took >= row.timeout && took < row.timeout * 8 / 5);
        pump([] { return false; }, 50ms);
        EXPECT_EQ(std::tuple(closed, inTime, peer.end, peer.text == expected, rig.served,
                             rig.listener.openConnections()),
                  std::tuple(true, true, row.end, true, row.served, 0U))
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    }
}

// Waves of peers, each wave sent while the tallies of the one before are still being handed over:
// every name comes back, counted once, whichever tally it went into, all of them by the close.
TEST(EpollListener, NamesComeBackCountedOnce) {
    Rig rig({});
    std::map<std::string, std::uint64_t> names;
    rig.listener.onNamed([&](const tessel::core::NameTally& tally) {
        tally.forEach(
            [&](std::string_view name, std::uint64_t count) { names[std::string(name)] += count; });
    });
    const std::string requests[] = {"GET / HTTP/1.1\r\nHost: Ad.Example:80\r\n\r\n",
                                    "GET / HTTP/1.1\r\nhost: track.example\r\n\r\n",
                                    "GET / HTTP/1.0\r\n\r\n"};
    constexpr std::uint64_t kWaves = 40;
    for (std::uint64_t wave = 0; wave < kWaves; ++wave) {
        std::vector<std::unique_ptr<Peer>> peers;
        for (std::size_t i = 0; i < 30; ++i) {
            peers.push_back(std::make_unique<Peer>(rig.listener.localPort()));
            const std::string& request = requests[i % 3];
            ::send(peers.back()->fd, request.data(), request.size(), MSG_NOSIGNAL);
        }
        const auto served = [&] {
            return std::all_of(peers.begin(), peers.end(), [](auto& peer) { return peer->poll(); });
        };
        // The last waves are served while this thread takes nothing, so at the close one tally
        // waits to be taken and the other is still being filled.
        const bool quiet = wave + 2 >= kWaves;
        while (quiet && !served()) {
            std::this_thread::sleep_for(1ms);
        }
        EXPECT_TRUE(quiet || pump(served));
    }
    // Closing tells what was counted before it, without waiting for the next batch.
    rig.listener.close();
    const std::map<std::string, std::uint64_t> expected{
        {"", kWaves * 10}, {"ad.example", kWaves * 10}, {"track.example", kWaves * 10}};
    EXPECT_EQ(names, expected);
}

// What pausing and resuming do to the ports: neither answers, no open connection is counted,
// and listening again serves. A port already taken says so.
TEST(EpollListener, CloseListenAndTakenPort) {
    Rig rig({});
    const std::uint16_t ports[] = {rig.listener.localPort(), rig.listener.countOnlyPort()};
    Peer first(ports[0]), second(ports[1]);
    EXPECT_TRUE(pump([&] { return rig.listener.openConnections() == 2; }));
    rig.listener.close();
    EXPECT_TRUE(first.poll() && second.poll());
    EXPECT_TRUE(Peer(ports[0]).poll() && Peer(ports[1]).poll()) << "refused";
    ASSERT_FALSE(rig.listener.listen(0));
    const auto taken = EpollListener().listen(rig.listener.localPort());
    EXPECT_EQ(taken.value_or(ListenError{}).number, kAddressInUseNumber);
    Peer again(rig.listener.localPort());
    EXPECT_EQ(again.send(kRequest), static_cast<long>(kRequest));
    EXPECT_TRUE(pump([&] { return again.poll() && !rig.served.empty(); }));
    EXPECT_EQ(rig.served, std::vector<std::size_t>{0});
}

}  // namespace

// Jobs run in the order given, each `done` back on this thread once; finish() sees every job
// through, one posted by a `done` included, and a `done` never runs twice.
TEST(QtWorker, RunsInOrderAndFinishSeesEveryJobThrough) {
    tessel::platform::QtWorker worker;
    std::vector<int> ran, done;  // `ran` only from the worker, one job at a time
    for (int job = 0; job < 3; ++job) {
        worker.post([&ran, job] { ran.push_back(job); },
                    [&, job] {
                        done.push_back(job);
                        if (job == 0) {
                            worker.post([&ran] { ran.push_back(3); },
                                        [&done] { done.push_back(3); });
                        }
                    });
    }
    worker.finish();
    const std::vector<int> atFinish = done;
    pump([] { return false; }, 50ms);
    const std::vector<int> all{0, 1, 2, 3};
    EXPECT_TRUE(ran == all && atFinish == all && done == all) << ::testing::PrintToString(done);
}
