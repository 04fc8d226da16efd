// Load and soak tests of the redirect listener, each phase one test:
//
//     tessel_load mass [connections] [concurrency]
//     tessel_load silent | timeout | hostile | flood | flood-default | flood-descriptors
//
// The process enters a network namespace of its own (a loopback nobody else uses, so a million
// connections leave nothing behind on the machine), then splits in two: the parent runs the
// listener in a Qt event loop exactly as the program does and counts what it serves through the
// listener's `served` event; the child is the crowd of peers. They take turns in steps: the child
// runs a step and reports, the parent checks its own side, then lets the child go on.
// Exit status: 0 passed, 1 failed, 77 skipped (not root, or no namespaces).

#include <fcntl.h>
#include <limits.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/LoadClient.h"
#include "bench/support/ServerProcess.h"
#include "core/Reply.h"
#include "platform/linux/EpollListener.h"

namespace {

using namespace std::chrono_literals;
using tessel::bench::LoadResult;
using tessel::bench::Mix;
using tessel::bench::SilentPeers;
using tessel::platform::EpollListener;
using Clock = std::chrono::steady_clock;

constexpr int kSkipped = 77;
const std::string kReply = tessel::core::buildReply("/opt/tessel/data/gray.gif");

// One step's report from the peers' side: a label and named numbers.
struct Message final {
    int step = 0;
    int count = 0;
    char names[20][20]{};
    long long values[20]{};

    void add(const char* name, long long value) {
        if (count < 20) {
            std::snprintf(names[count], sizeof names[count], "%s", name);
            values[count++] = value;
        }
    }
    long long get(const char* name) const {
        for (int i = 0; i < count; ++i) {
            if (std::strcmp(names[i], name) == 0) {
                return values[i];
            }
        }
        return -1;
    }
    void print(const char* phase) const {
        std::printf("[%s] step %d peers:", phase, step);
        for (int i = 0; i < count; ++i) {
            std::printf(" %s=%lld", names[i], values[i]);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
};
static_assert(sizeof(Message) < PIPE_BUF, "a message must reach the parent in one piece");

void addLoad(Message& message, const LoadResult& result) {
    message.add("started", result.started);
    message.add("succeeded", result.succeeded);
    message.add("failed", result.failures);
    message.add("dataSent", result.dataSent);
    message.add("p99us", static_cast<long long>(result.p99Us));
    message.add("maxus", static_cast<long long>(result.maxUs));
    message.add("perSecond", static_cast<long long>(result.perSecond));
}

// --- the peers' side ----------------------------------------------------------------------------

struct Peers final {
    std::uint16_t port = 0;
    std::unique_ptr<SilentPeers> silent;
};

using PeerStep = std::function<Message(Peers&)>;

Message loadStep(Peers& peers, long long total, int concurrency, Mix mix = {}) {
    tessel::bench::LoadSettings settings;
    settings.port = peers.port;
    settings.expectedReply = kReply;
    settings.total = total;
    settings.concurrency = concurrency;
    settings.mix = mix;
    Message message;
    addLoad(message, tessel::bench::runLoad(settings));
    return message;
}

Message openSilentStep(Peers& peers, int count) {
    peers.silent =
        std::make_unique<SilentPeers>(peers.port, kReply, static_cast<std::size_t>(count));
    Message message;
    message.add("opened", static_cast<long long>(peers.silent->peers().size()));
    message.add("answered", static_cast<long long>(peers.silent->answered()));
    message.add("stillOpen", static_cast<long long>(peers.silent->stillOpen()));
    // The first one still open: with a bound, everything before it must have been dropped.
    const auto& all = peers.silent->peers();
    const auto open = std::find_if(all.begin(), all.end(), [](const SilentPeers::Peer& peer) {
        return peer.endedAfterMs < 0;
    });
    message.add("firstOpen", open == all.end() ? -1 : open - all.begin());
    return message;
}

void addEnds(Message& message, const SilentPeers& silent) {
    long long closed = 0;
    long long earliest = -1;
    long long latest = -1;
    for (const SilentPeers::Peer& peer : silent.peers()) {
        if (peer.endedAfterMs >= 0) {
            ++closed;
            earliest = earliest < 0 ? peer.endedAfterMs : std::min(earliest, peer.endedAfterMs);
            latest = std::max(latest, peer.endedAfterMs);
        }
    }
    message.add("silentClosed", closed);
    message.add("firstEndMs", earliest);
    message.add("lastEndMs", latest);
}

int runPeers(int toParent, int fromParent, const std::vector<PeerStep>& steps) {
    Peers peers;
    if (::read(fromParent, &peers.port, sizeof peers.port) != sizeof peers.port) {
        return 1;
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        Message message = steps[i](peers);
        message.step = static_cast<int>(i + 1);
        if (::write(toParent, &message, sizeof message) != sizeof message) {
            return 1;
        }
        char go = 0;
        if (::read(fromParent, &go, 1) != 1 || go != 'g') {
            break;
        }
    }
    return 0;
}

// --- the listener's side ------------------------------------------------------------------------

long residentKb() {
    return tessel::bench::residentKb(::getpid());
}

class Server final {
public:
    Server(const char* phase, EpollListener::Limits limits, int fromPeers)
        : phase_(phase), listener_(limits), fromPeers_(fromPeers) {
        listener_.onServed([this](std::uint64_t connections) { served += connections; });
        listener_.setReply(kReply);
        // Wakes the loop now and then, so deadlines are noticed when nothing else happens.
        ticker_.start(10);
    }

    bool listen() { return !listener_.listen(0).has_value(); }
    std::uint16_t port() const { return listener_.localPort(); }
    std::size_t open() const { return listener_.openConnections(); }

    // Runs the event loop, which drives the listener, until the condition holds or time is up.
    bool pumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
        const Clock::time_point until = Clock::now() + limit;
        while (!condition()) {
            if (Clock::now() >= until) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

    bool awaitMessage(Message& message, std::chrono::milliseconds limit) {
        std::size_t got = 0;
        auto* bytes = reinterpret_cast<char*>(&message);
        return pumpUntil(
                   [&] {
                       const ssize_t n = ::read(fromPeers_, bytes + got, sizeof message - got);
                       if (n > 0) {
                           got += static_cast<std::size_t>(n);
                       }
                       return got == sizeof message || n == 0;
                   },
                   limit) &&
               got == sizeof message;
    }

    bool check(bool condition, const std::string& what) {
        std::printf("[%s] %s: %s\n", phase_, condition ? "ok  " : "FAIL", what.c_str());
        std::fflush(stdout);
        failed_ = failed_ || !condition;
        return condition;
    }
    bool failed() const { return failed_; }

    long long served = 0;

private:
    const char* phase_;
    EpollListener listener_;
    int fromPeers_;
    QTimer ticker_;
    bool failed_ = false;
};

using ServerStep = std::function<void(Server&, const Message&)>;

struct Phase final {
    EpollListener::Limits limits;
    std::vector<PeerStep> peers;
    std::vector<ServerStep> server;
    std::chrono::milliseconds stepLimit{90'000};
    rlim_t descriptorLimit = 0;  // for the listener's process; 0 leaves the limit alone
};

template <typename Number>
std::string num(Number value) {
    return std::to_string(value);
}

// Every connection that sent data was counted, each once, and nothing else was.
void expectCounted(Server& server, long long before, const Message& message) {
    const long long expected = message.get("dataSent");
    server.pumpUntil([&] { return server.served - before >= expected && server.open() == 0; },
                     3000ms);
    server.check(server.served - before == expected, "served " + num(server.served - before) +
                                                         " == connections that sent data " +
                                                         num(expected));
}

// Many connections in a row: every one served and counted, and no memory kept per connection.
// The thread checker's own memory grows with the work it watches: there the resident size says
// nothing of the listener's.
#ifdef __SANITIZE_THREAD__
constexpr bool kResidentSizeIsOurs = false;
#else
constexpr bool kResidentSizeIsOurs = true;
#endif

Phase massPhase(long long total, int concurrency) {
    Phase phase;
    constexpr long long kWarmUp = 50'000;
    auto warmKb = std::make_shared<long>(0);
    auto servedAtWarm = std::make_shared<long long>(0);
    phase.peers = {
        [=](Peers& peers) { return loadStep(peers, kWarmUp, concurrency); },
        [=](Peers& peers) { return loadStep(peers, total, concurrency); },
    };
    phase.server = {
        [=](Server& server, const Message& message) {
            expectCounted(server, 0, message);
            server.check(message.get("failed") == 0, "warm-up: no failed connection");
            *servedAtWarm = server.served;
            *warmKb = residentKb();
        },
        [=](Server& server, const Message& message) {
            expectCounted(server, *servedAtWarm, message);
            const long endKb = residentKb();
            server.check(message.get("started") == total && message.get("failed") == 0,
                         num(message.get("started")) + " connections made, " +
                             num(message.get("failed")) + " failed");
            server.check(!kResidentSizeIsOurs || endKb <= *warmKb + 512,
                         "VmRSS " + num(endKb) + " kB <= warm-up " + num(*warmKb) + " kB + 512 kB");
            server.check(server.open() == 0, "no connection left open");
        },
    };
    return phase;
}

// Silent peers beside browsers: they hold no browser up, are closed when their time is up and
// are never counted.
Phase silentPhase() {
    constexpr int kSilent = 2000;
    constexpr long long kTimeoutMs = 3000;
    Phase phase;
    phase.limits.silentTimeout = std::chrono::milliseconds(kTimeoutMs);
    phase.peers = {
        [](Peers& peers) { return openSilentStep(peers, kSilent); },
        [](Peers& peers) {
            Message message = loadStep(peers, 20'000, 64);
            peers.silent->stillOpen();
            addEnds(message, *peers.silent);
            return message;
        },
        [](Peers& peers) {
            peers.silent->watchForEnds(Clock::now() + 8s);
            Message message;
            addEnds(message, *peers.silent);
            return message;
        },
    };
    auto servedBefore = std::make_shared<long long>(0);
    phase.server = {
        [](Server& server, const Message& message) {
            server.check(message.get("answered") == kSilent,
                         num(message.get("answered")) + " silent connections answered");
            server.pumpUntil([&] { return server.open() == kSilent; }, 2000ms);
            server.check(server.open() == kSilent, "listener holds " + num(server.open()));
        },
        [=](Server& server, const Message& message) {
            expectCounted(server, 0, message);
            *servedBefore = server.served;
            server.check(message.get("failed") == 0, "browsers beside them: none failed");
            // Any silent one closed so far must have had its full time.
            server.check(
                message.get("silentClosed") == 0 || message.get("firstEndMs") >= kTimeoutMs - 50,
                "no silent connection closed early (first after " + num(message.get("firstEndMs")) +
                    " ms)");
        },
        [=](Server& server, const Message& message) {
            server.check(message.get("silentClosed") == kSilent &&
                             message.get("firstEndMs") >= kTimeoutMs - 50,
                         num(message.get("silentClosed")) + " closed by the listener, from " +
                             num(message.get("firstEndMs")) + " ms after their connect");
            server.pumpUntil([&] { return server.open() == 0; }, 2000ms);
            server.check(server.served == *servedBefore, "silent connections were not counted");
            server.check(server.open() == 0, "no connection left open");
        },
    };
    return phase;
}

// The default ten seconds, with browsers coming and going meanwhile.
Phase timeoutPhase() {
    constexpr int kSilent = 50;
    Phase phase;
    phase.peers = {
        [](Peers& peers) { return openSilentStep(peers, kSilent); },
        [](Peers& peers) {
            // Browsers keep coming, twenty at a time, until just before the silent ones are due.
            const Clock::time_point due = peers.silent->peers().front().connectedAt + 9500ms;
            long long failed = 0;
            long long dataSent = 0;
            while (Clock::now() < due) {
                const Message round = loadStep(peers, 20, 2);
                failed += round.get("failed");
                dataSent += round.get("dataSent");
                std::this_thread::sleep_for(50ms);
            }
            Message message;
            message.add("failed", failed);
            message.add("dataSent", dataSent);
            message.add("openBeforeDue", static_cast<long long>(peers.silent->stillOpen()));
            peers.silent->watchForEnds(Clock::now() + 4s);
            addEnds(message, *peers.silent);
            return message;
        },
    };
    phase.server = {
        [](Server& server, const Message& message) {
            server.check(message.get("answered") == kSilent, "silent connections answered");
        },
        [](Server& server, const Message& message) {
            expectCounted(server, 0, message);
            server.check(message.get("failed") == 0, "browsers beside them: none failed");
            server.check(
                message.get("openBeforeDue") == kSilent && message.get("silentClosed") == kSilent,
                num(message.get("openBeforeDue")) + " open just before their time, " +
                    num(message.get("silentClosed")) + " closed after it");
            server.check(
                message.get("firstEndMs") >= 9950,
                "first closed " + num(message.get("firstEndMs")) + " ms after its connect");
        },
    };
    return phase;
}

Phase hostilePhase() {
    Phase phase;
    const Mix mix{
        .normal = 20, .garbage = 5, .megabyte = 1, .closeAtOnce = 5, .reset = 5, .halfClose = 5};
    auto before = std::make_shared<long long>(0);
    phase.peers = {
        [mix](Peers& peers) { return loadStep(peers, 20'500, 128, mix); },
        [](Peers& peers) { return loadStep(peers, 10'000, 64); },
    };
    phase.server = {
        [before](Server& server, const Message& message) {
            expectCounted(server, 0, message);
            *before = server.served;
            server.check(message.get("failed") == 0,
                         "garbage, megabyte, closing, resetting and half-closing peers among "
                         "browsers: none failed (" +
                             num(message.get("failed")) + ")");
            server.check(server.open() == 0, "no connection left open");
        },
        [before](Server& server, const Message& message) {
            expectCounted(server, *before, message);
            server.check(message.get("failed") == 0, "browsers afterwards: none failed");
        },
    };
    return phase;
}

Phase floodPhase(std::size_t bound, int flood) {
    Phase phase;
    phase.limits.maxConnections = bound;
    phase.peers = {
        [flood](Peers& peers) { return openSilentStep(peers, flood); },
        [](Peers& peers) { return loadStep(peers, 5000, 32); },
    };
    phase.server = {
        [bound, flood](Server& server, const Message& message) {
            const auto open = static_cast<long long>(server.open());
            server.check(message.get("answered") == flood, "all " + num(flood) +
                                                               " flooding connections answered (" +
                                                               num(message.get("answered")) + ")");
            server.check(open == static_cast<long long>(bound),
                         "listener holds " + num(open) + " (bound " + num(bound) + ")");
            server.check(message.get("stillOpen") == static_cast<long long>(bound) &&
                             message.get("firstOpen") == flood - static_cast<long long>(bound),
                         "the newest " + num(message.get("stillOpen")) +
                             " are the ones still open (first open: #" +
                             num(message.get("firstOpen")) + ")");
            server.check(server.served == 0, "none of them counted");
        },
        [bound](Server& server, const Message& message) {
            expectCounted(server, 0, message);
            server.check(message.get("failed") == 0, "browsers after the flood: none failed");
            server.check(server.open() <= bound, "still within the bound");
        },
    };
    return phase;
}

// More connections than the process has descriptors: the listener must give up its oldest
// connections to take new ones, answer every one, and keep serving.
Phase descriptorFloodPhase() {
    constexpr rlim_t kDescriptors = 256;
    constexpr int kFlood = 1000;
    Phase phase;
    phase.descriptorLimit = kDescriptors;
    phase.peers = {
        [](Peers& peers) { return openSilentStep(peers, kFlood); },
        [](Peers& peers) { return loadStep(peers, 5000, 32); },
        [](Peers& peers) {
            peers.silent.reset();
            return Message{};
        },
        [](Peers& peers) { return openSilentStep(peers, 1); },
    };
    auto held = std::make_shared<std::vector<int>>();
    phase.server = {
        [](Server& server, const Message& message) {
            const auto open = static_cast<long long>(server.open());
            server.check(message.get("answered") == kFlood,
                         "all " + num(kFlood) + " answered with only " + num(kDescriptors) +
                             " descriptors (" + num(message.get("answered")) + ")");
            server.check(open > 0 && open < static_cast<long long>(kDescriptors),
                         "listener holds " + num(open) + " within the descriptor limit");
            server.check(
                message.get("stillOpen") == open && message.get("firstOpen") == kFlood - open,
                "the newest " + num(message.get("stillOpen")) +
                    " are the ones still open (first open: #" + num(message.get("firstOpen")) +
                    ")");
            server.check(server.served == 0, "none of them counted");
        },
        [](Server& server, const Message& message) {
            expectCounted(server, 0, message);
            server.check(message.get("failed") == 0,
                         "browsers at the descriptor limit: none failed (" +
                             num(message.get("failed")) + ")");
        },
        // No descriptor left and no connection to give up: accepting waits until there is one.
        [held](Server& server, const Message&) {
            server.check(server.pumpUntil([&] { return server.open() == 0; }, 2000ms),
                         "all closed");
            for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
                held->push_back(fd);
            }
            QTimer::singleShot(1000ms, [held] {
                std::for_each(held->begin(), held->end(), ::close);
                held->clear();
            });
        },
        [](Server& server, const Message& message) {
            server.check(message.get("answered") == 1, "answered once descriptors are back");
        },
    };
    return phase;
}

// Loopback of a fresh network namespace starts down.
bool loopbackUp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::snprintf(request.ifr_name, IFNAMSIZ, "lo");
    bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (up) {
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
        up = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return up;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string name = argc > 1 ? argv[1] : "";
    Phase phase;
    if (name == "mass") {
        phase = massPhase(argc > 2 ? std::atoll(argv[2]) : 1'000'000,
                          argc > 3 ? std::atoi(argv[3]) : 512);
    } else if (name == "silent") {
        phase = silentPhase();
    } else if (name == "timeout") {
        phase = timeoutPhase();
    } else if (name == "hostile") {
        phase = hostilePhase();
    } else if (name == "flood") {
        phase = floodPhase(64, 1000);
    } else if (name == "flood-default") {
        phase = floodPhase(EpollListener::Limits{}.maxConnections, 5000);
    } else if (name == "flood-descriptors") {
        phase = descriptorFloodPhase();
    } else {
        std::fprintf(stderr,
                     "usage: tessel_load "
                     "mass|silent|timeout|hostile|flood|flood-default|flood-descriptors\n");
        return 2;
    }
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0 || !loopbackUp()) {
        std::printf("SKIP: needs root and a network namespace of its own\n");
        return kSkipped;
    }
    tessel::bench::raiseDescriptorLimit();

    int toParent[2];
    int toChild[2];
    if (::pipe2(toParent, O_CLOEXEC) != 0 || ::pipe2(toChild, O_CLOEXEC) != 0) {
        return 1;
    }
    // The peers are forked before Qt starts any thread.
    const pid_t child = ::fork();
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::close(toParent[0]);
        ::close(toChild[1]);
        ::_exit(runPeers(toParent[1], toChild[0], phase.peers));
    }
    ::close(toParent[1]);
    ::close(toChild[0]);
    ::fcntl(toParent[0], F_SETFL, O_NONBLOCK);
    if (phase.descriptorLimit != 0) {
        // Hard and soft alike, so the listener's own raising of the soft limit cannot lift it.
        const rlimit limit{phase.descriptorLimit, phase.descriptorLimit};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            std::printf("cannot lower the descriptor limit\n");
            return 1;
        }
    }

    QCoreApplication application(argc, argv);
    Server server(argv[1], phase.limits, toParent[0]);
    QSocketNotifier wake(toParent[0], QSocketNotifier::Read);
    if (!server.listen()) {
        std::printf("cannot listen\n");
        ::kill(child, SIGKILL);
        return 1;
    }
    const std::uint16_t port = server.port();
    [[maybe_unused]] const ssize_t sent = ::write(toChild[1], &port, sizeof port);
    const Clock::time_point began = Clock::now();
    for (std::size_t i = 0; i < phase.server.size(); ++i) {
        Message message;
        if (!server.awaitMessage(message, phase.stepLimit)) {
            server.check(false, "the peers reported step " + num(i + 1));
            break;
        }
        message.print(argv[1]);
        phase.server[i](server, message);
        [[maybe_unused]] const ssize_t go = ::write(toChild[1], "g", 1);
    }
    ::close(toChild[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    std::printf(
        "[%s] %s in %lld ms\n", argv[1], server.failed() ? "FAILED" : "passed",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count()));
    return server.failed() ? 1 : 0;
}
