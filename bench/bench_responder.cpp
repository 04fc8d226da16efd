// How Tessel's redirect listener, driven by the Qt event loop as in the program, compares with a
// bare single-threaded epoll server doing the same work, and how its reply with a shipped picture
// (black.gif) compares with its 302 reply. Each server runs in its own child process; the load
// client runs here. Prints a table and the goals; always exits 0.

#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/support/BaselineServer.h"
#include "bench/support/LoadClient.h"
#include "bench/support/ServerProcess.h"
#include "core/Reply.h"
#include "platform/linux/EpollListener.h"

namespace {

using tessel::bench::LoadResult;
using tessel::bench::ServerProcess;

const std::string& reply() {
    static const std::string text = tessel::responder::buildReply("/opt/tessel/data/Tessel.gif");
    return text;
}

const std::string& pictureReply() {
    static const std::string text = [] {
        const std::string path = TESSEL_BENCH_DATA "/black.gif";
        std::ifstream in(path, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        return tessel::responder::buildPictureReply(path, bytes);
    }();
    return text;
}

void serveTessel(int readyFd, const std::string& answer) {
    int argc = 1;
    char name[] = "tessel-listener";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    tessel::platform::EpollListener listener;
    std::uint64_t served = 0;
    listener.setEvents({[&answer] { return std::string_view(answer); }, [&served] { ++served; }});
    if (listener.listen(0).has_value()) {
        return;
    }
    const std::uint16_t port = listener.localPort();
    if (::write(readyFd, &port, sizeof port) != static_cast<ssize_t>(sizeof port)) {
        return;
    }
    QCoreApplication::exec();
}

struct Scenario final {
    const char* label;
    int concurrency;
    std::size_t idle;
};

constexpr std::array kScenarios{Scenario{"1 at once", 1, 0}, Scenario{"16 at once", 16, 0},
                                Scenario{"128 at once", 128, 0},
                                Scenario{"128 + 2000 idle", 128, 2000}};
constexpr std::size_t kIdleScenario = 3;
constexpr std::size_t kBusiest = 2;
constexpr int kRepeats = 9;
constexpr std::chrono::milliseconds kWarmUp{150};
constexpr std::chrono::milliseconds kDuration{400};
// Loads measured in turn within each repeat, so their runs can be paired with each other too.
constexpr std::array<std::array<std::size_t, 2>, 3> kGroups{{{0, 0}, {1, 1}, {2, 3}}};

struct Server final {
    const char* name;
    const std::string& reply;
    ServerProcess process;
    long idleRssKb = -1;
    long peakRssKb = -1;
    std::array<std::vector<LoadResult>, kScenarios.size()> runs{};
};

bool verbose = false;

LoadResult measure(Server& server, const Scenario& scenario) {
    std::optional<tessel::bench::IdleConnections> idle;
    if (scenario.idle > 0) {
        idle.emplace(server.process.port(), scenario.idle);
        if (idle->answered() != scenario.idle) {
            std::printf("  %s answered only %zu of %zu idle connections\n", server.name,
                        idle->answered(), scenario.idle);
        }
    }
    tessel::bench::LoadSettings settings;
    settings.port = server.process.port();
    settings.concurrency = scenario.concurrency;
    settings.expectedReply = server.reply;
    settings.serverPid = server.process.pid();
    settings.warmUp = kWarmUp;
    settings.duration = kDuration;
    LoadResult result = tessel::bench::runLoad(settings);
    server.peakRssKb = std::max(server.peakRssKb, result.peakRssKb);
    if (verbose) {
        std::printf("    %-16s %-9s %8.0f %8.1f %8.1f %7.2f\n", scenario.label, server.name,
                    result.perSecond, result.p50Us, result.p99Us, result.serverCpuUsPerConnection);
    }
    return result;
}

double middle(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Each figure is the middle one of its runs, taken on its own: one noisy run on a shared
// machine moves none of them.
LoadResult median(const std::vector<LoadResult>& runs) {
    const auto middleOf = [&runs](double LoadResult::*field) {
        std::vector<double> values;
        for (const LoadResult& run : runs) {
            values.push_back(run.*field);
        }
        return middle(values);
    };
    LoadResult result;
    result.perSecond = middleOf(&LoadResult::perSecond);
    result.p50Us = middleOf(&LoadResult::p50Us);
    result.p99Us = middleOf(&LoadResult::p99Us);
    result.serverCpuUsPerConnection = middleOf(&LoadResult::serverCpuUsPerConnection);
    for (const LoadResult& run : runs) {
        result.failures += run.failures;
    }
    return result;
}

// Each Tessel run is set against the baseline run made just before it, under the same load of
// the machine; the middle of those ratios is steadier than a ratio of two medians.
double pairedRatio(const Server& baseline, const Server& ours, std::size_t scenario,
                   double LoadResult::*field) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < ours.runs[scenario].size(); ++i) {
        ratios.push_back(ours.runs[scenario][i].*field / baseline.runs[scenario][i].*field);
    }
    return middle(ratios);
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

// Ratios are Tessel over the baseline, run by run; "cpu" is the server's CPU time per connection.
void printRuns(const Server& baseline, const Server& ours) {
    std::printf("\n%-16s %-9s %8s %8s %8s %7s %5s %6s %6s %6s\n", "load", "server", "conn/s",
                "p50 us", "p99 us", "cpu us", "fail", "rate", "p99", "cpu");
    for (std::size_t s = 0; s < kScenarios.size(); ++s) {
        const LoadResult base = median(baseline.runs[s]);
        const LoadResult mine = median(ours.runs[s]);
        std::printf("%-16s %-9s %8.0f %8.1f %8.1f %7.2f %5zu\n", kScenarios[s].label, baseline.name,
                    base.perSecond, base.p50Us, base.p99Us, base.serverCpuUsPerConnection,
                    base.failures);
        std::printf("%-16s %-9s %8.0f %8.1f %8.1f %7.2f %5zu %6.3f %6.3f %6.3f\n", "", ours.name,
                    mine.perSecond, mine.p50Us, mine.p99Us, mine.serverCpuUsPerConnection,
                    mine.failures, pairedRatio(baseline, ours, s, &LoadResult::perSecond),
                    pairedRatio(baseline, ours, s, &LoadResult::p99Us),
                    pairedRatio(baseline, ours, s, &LoadResult::serverCpuUsPerConnection));
    }
}

double idleDrop(const Server& server) {
    std::vector<double> drops;
    for (std::size_t i = 0; i < server.runs[kIdleScenario].size(); ++i) {
        drops.push_back(1.0 - server.runs[kIdleScenario][i].perSecond /
                                  server.runs[kBusiest][i].perSecond);
    }
    return middle(drops);
}

void printGoals(const Server& baseline, const Server& ours) {
    double worstRate = 1e9;
    double worstP99 = 0;
    for (std::size_t s = 0; s < kScenarios.size(); ++s) {
        worstRate = std::min(worstRate, pairedRatio(baseline, ours, s, &LoadResult::perSecond));
        worstP99 = std::max(worstP99, pairedRatio(baseline, ours, s, &LoadResult::p99Us));
    }
    const double growthMb = static_cast<double>(ours.peakRssKb - ours.idleRssKb) / 1024.0;
    std::printf("\nresident memory   %-9s idle %6ld kB, under load %6ld kB\n", baseline.name,
                baseline.idleRssKb, baseline.peakRssKb);
    std::printf("resident memory   %-9s idle %6ld kB, under load %6ld kB\n", ours.name,
                ours.idleRssKb, ours.peakRssKb);
    std::printf("\n%-46s %9s %9s  %s\n", "goal", "measured", "baseline", "");
    std::printf("%-46s %9.3f %9s  %s\n", "worst rate ratio >= 0.95", worstRate, "",
                verdict(worstRate >= 0.95));
    std::printf("%-46s %9.3f %9s  %s\n", "worst p99 ratio <= 1.2", worstP99, "",
                verdict(worstP99 <= 1.2));
    std::printf("%-46s %8.1f%% %8.1f%%  %s\n", "rate drop at 128 with 2000 idle <= 10%",
                100 * idleDrop(ours), 100 * idleDrop(baseline), verdict(idleDrop(ours) <= 0.10));
    std::printf("%-46s %9.2f %9.2f  %s\n", "RSS under load - idle <= 5 MB", growthMb,
                static_cast<double>(baseline.peakRssKb - baseline.idleRssKb) / 1024.0,
                verdict(growthMb <= 5.0));
}

// The picture reply set against the 302 reply, both from Tessel's listener, run by run.
void printPicture(const Server& redirect, const Server& picture) {
    std::printf("\n%-16s %-9s %8s %8s %8s %7s %5s %6s %6s %6s\n", "load", "reply", "conn/s",
                "p50 us", "p99 us", "cpu us", "fail", "rate", "p99", "cpu");
    for (std::size_t s = 0; s < kScenarios.size(); ++s) {
        const LoadResult mine = median(picture.runs[s]);
        std::printf("%-16s %-9s %8.0f %8.1f %8.1f %7.2f %5zu %6.3f %6.3f %6.3f\n",
                    kScenarios[s].label, "black.gif", mine.perSecond, mine.p50Us, mine.p99Us,
                    mine.serverCpuUsPerConnection, mine.failures,
                    pairedRatio(redirect, picture, s, &LoadResult::perSecond),
                    pairedRatio(redirect, picture, s, &LoadResult::p99Us),
                    pairedRatio(redirect, picture, s, &LoadResult::serverCpuUsPerConnection));
    }
}

void printPictureGoal(const Server& redirect, const Server& picture) {
    double worst = 1e9;
    for (std::size_t s = 0; s < kScenarios.size(); ++s) {
        worst = std::min(worst, pairedRatio(redirect, picture, s, &LoadResult::perSecond));
    }
    std::printf("%-46s %9.3f %9s  %s\n", "worst rate ratio black.gif / 302 >= 0.95", worst, "",
                verdict(worst >= 0.95));
}

// A fresh server is slow for its first half second or so (lazy binding, first page faults on
// its paths, the descriptor table growing); that is not what is being compared.
void warmUp(const Server& server) {
    tessel::bench::LoadSettings settings;
    settings.port = server.process.port();
    settings.concurrency = 128;
    settings.duration = std::chrono::milliseconds{600};
    settings.expectedReply = server.reply;
    tessel::bench::runLoad(settings);
}

void measureAll(const std::array<Server*, 3>& servers) {
    for (const auto& group : kGroups) {
        for (int repeat = 0; repeat < kRepeats; ++repeat) {
            for (std::size_t s = group[0]; s <= group[1]; ++s) {
                // Taking turns at going first keeps a slow moment of the machine, or a trend in
                // it, from landing on one server only.
                for (std::size_t i = 0; i < servers.size(); ++i) {
                    Server& server = *servers[(i + static_cast<std::size_t>(repeat)) % 3];
                    server.runs[s].push_back(measure(server, kScenarios[s]));
                }
            }
        }
        std::printf("  %s done\n", kScenarios[group[1]].label);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    verbose = argc > 1 && std::string_view(argv[1]) == "-v";  // every run, not just the medians
    Server baseline{"baseline", reply(), ServerProcess([](int readyFd) {
                        tessel::bench::runBaselineServer(reply(), readyFd);
                    })};
    Server ours{"tessel", reply(), ServerProcess([](int fd) { serveTessel(fd, reply()); })};
    Server picture{"picture", pictureReply(),
                   ServerProcess([](int fd) { serveTessel(fd, pictureReply()); })};
    if (!baseline.process.running() || !ours.process.running() || !picture.process.running() ||
        !pictureReply().starts_with("HTTP/1.0 200 OK\r\n")) {
        std::printf("a server did not start, or black.gif was not found\n");
        return 0;
    }
    ::usleep(200'000);
    for (Server* server : {&baseline, &ours, &picture}) {
        server->idleRssKb = tessel::bench::residentKb(server->process.pid());
        warmUp(*server);
    }
    std::printf("redirect responder: %d runs of %lld ms per load and server, medians shown\n",
                kRepeats, static_cast<long long>(kDuration.count()));
    measureAll({&baseline, &ours, &picture});
    printRuns(baseline, ours);
    printPicture(ours, picture);
    printGoals(baseline, ours);
    printPictureGoal(ours, picture);
    return 0;
}
