// How the real program, started as a user starts it (offscreen, on port 80 of its own network
// namespace, with a HOSTS file of its own), compares with a bare single-threaded epoll server
// doing the same work in the same run. Each server is its own process; the load client runs here.
// Needs root for the namespaces. Prints a table and the goals; always exits 0.

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/support/BaselineServer.h"
#include "bench/support/BenchPlatform.h"
#include "bench/support/LoadClient.h"
#include "bench/support/ServerProcess.h"
#include "core/Reply.h"

namespace {

namespace fs = std::filesystem;
using tessel::bench::LoadResult;
using tessel::bench::ServerProcess;

constexpr std::uint16_t kHttpPort = 80;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void spill(const fs::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<long>(text.size()));
}

bool loopbackUp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return up;
}

// This process and everything it starts get a network of their own, where port 80 is free, and
// a view of the HOSTS file that is a scratch copy: the machine's own is never touched.
bool enterNamespaces(const fs::path& hosts) {
    spill(hosts, slurp("/etc/hosts"));
    return ::unshare(CLONE_NEWNET | CLONE_NEWNS) == 0 &&
           ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 && loopbackUp() &&
           ::mount(hosts.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) == 0;
}

// A copy of the built program directory with its own settings: keep mode, a short list, and the
// shipped picture; returns the reply the program will send.
std::string makeProgram(const fs::path& program) {
    fs::copy(TESSEL_BENCH_PROGRAM, program, fs::copy_options::recursive);
    const fs::path picture = program / "data" / "Tessel.gif";
    spill(program / "data" / "prefs.dat",
          picture.string() + "\r\n/etc/hosts\r\n80\r\n80\r\nkeepHostsFile: True\r\n");
    spill(program / "data" / "badHosts.dat", "ads.bench.example\r\n");
    return tessel::core::buildPictureReply(picture.string(), slurp(picture));
}

// With two processors or more, the servers run on the last and the load client on the first.
// Left to the scheduler, a server sometimes shares the client's processor for a whole run and
// sometimes not, and its rate moves by a third between runs for that alone.
// Both are measured: the servers placed, and the servers left to the scheduler, which may then
// spread the program's two threads over both processors.
bool pinned = true;
constexpr int kClientCpu = 0;
int serverCpu() {
    const long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
    return cpus > 1 ? static_cast<int>(cpus - 1) : -1;
}

// Unpinned, any processor will do.
void placeOn(int cpu) {
    if (cpu < 0) {
        return;
    }
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int each = 0; each <= serverCpu(); ++each) {
        if (!pinned || each == cpu) {
            CPU_SET(each, &set);
        }
    }
    ::sched_setaffinity(0, sizeof set, &set);  // only a placement: without it, runs still run
}

void runProgram(const fs::path& program, int readyFd) {
    placeOn(serverCpu());
    // The program says nothing when it is ready: the parent waits for port 80 to answer.
    if (::write(readyFd, &kHttpPort, sizeof kHttpPort) != static_cast<ssize_t>(sizeof kHttpPort)) {
        return;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string path = (program / "tessel").string();
    ::execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
}

bool answers(std::uint16_t port, std::string_view reply) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tessel::bench::LoadSettings settings;
        settings.port = port;
        settings.expectedReply = reply;
        settings.warmUp = std::chrono::milliseconds{0};
        settings.duration = std::chrono::milliseconds{20};
        if (tessel::bench::runLoad(settings).failures == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds{100});
    }
    return false;
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
// Enough that the medians hold still from one run to the next on a two-processor machine.
constexpr int kRepeats = 21;
constexpr std::chrono::milliseconds kWarmUp{150};
constexpr std::chrono::milliseconds kDuration{400};
// Loads measured in turn within each repeat, so their runs can be paired with each other too.
constexpr std::array<std::array<std::size_t, 2>, 3> kGroups{{{0, 0}, {1, 1}, {2, 3}}};

struct Server final {
    const char* name;
    std::string reply;
    ServerProcess process;
    long idleRssKb = -1;
    long peakRssKb = -1;
    std::array<std::vector<LoadResult>, kScenarios.size()> runs{};
};

bool verbose = false;

LoadResult measure(Server& server, const Scenario& scenario) {
    std::optional<tessel::bench::SilentPeers> idle;
    if (scenario.idle > 0) {
        idle.emplace(server.process.port(), server.reply, scenario.idle);
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
        std::printf("%-16s %-9s %8.0f %8.1f %8.1f %7.2f %5lld\n", kScenarios[s].label,
                    baseline.name, base.perSecond, base.p50Us, base.p99Us,
                    base.serverCpuUsPerConnection, base.failures);
        std::printf("%-16s %-9s %8.0f %8.1f %8.1f %7.2f %5lld %6.3f %6.3f %6.3f\n", "", ours.name,
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
    double worstCpu = 0;
    for (std::size_t s = 0; s < kScenarios.size(); ++s) {
        worstRate = std::min(worstRate, pairedRatio(baseline, ours, s, &LoadResult::perSecond));
        worstP99 = std::max(worstP99, pairedRatio(baseline, ours, s, &LoadResult::p99Us));
        worstCpu = std::max(worstCpu,
                            pairedRatio(baseline, ours, s, &LoadResult::serverCpuUsPerConnection));
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
    std::printf("%-46s %9.3f %9s  %s\n", "worst CPU per connection ratio <= 1.2", worstCpu, "",
                verdict(worstCpu <= 1.2));
    std::printf("%-46s %8.1f%% %8.1f%%  %s\n", "rate drop at 128 with 2000 idle <= 10%",
                100 * idleDrop(ours), 100 * idleDrop(baseline), verdict(idleDrop(ours) <= 0.10));
    std::printf("%-46s %9.2f %9.2f  %s\n", "RSS under load - idle <= 5 MB", growthMb,
                static_cast<double>(baseline.peakRssKb - baseline.idleRssKb) / 1024.0,
                verdict(growthMb <= 5.0));
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

void measureAll(const std::array<Server*, 2>& servers) {
    for (const auto& group : kGroups) {
        for (int repeat = 0; repeat < kRepeats; ++repeat) {
            for (std::size_t s = group[0]; s <= group[1]; ++s) {
                // Taking turns at going first keeps a slow moment of the machine, or a trend in
                // it, from landing on one server only.
                for (std::size_t i = 0; i < servers.size(); ++i) {
                    Server& server =
                        *servers[(i + static_cast<std::size_t>(repeat)) % servers.size()];
                    server.runs[s].push_back(measure(server, kScenarios[s]));
                }
            }
        }
        std::printf("  %s done\n", kScenarios[group[1]].label);
        std::fflush(stdout);
    }
}

// Tessel sending the picture itself (black.gif) against Tessel sending the redirect it falls back
// to (a picture it cannot read), started in turn and measured under the same loads, round after
// round: their rates should not differ by more than 5%.
void comparePictureWithRedirect(const fs::path& program) {
    const fs::path black = program / "data" / "black.gif";
    const fs::path missing = program / "data" / "no-such-picture.gif";
    const std::array<std::pair<fs::path, std::string>, 2> kinds{{
        {black, tessel::core::buildPictureReply(black.string(), slurp(black))},
        {missing, tessel::core::buildReply(missing.string())},
    }};
    constexpr int kRounds = 7;
    std::array<std::vector<double>, kBusiest + 1> ratios;  // picture rate over redirect rate
    for (int round = 0; round < kRounds; ++round) {
        std::array<std::array<double, kBusiest + 1>, 2> rates{};
        for (std::size_t turn = 0; turn < kinds.size(); ++turn) {
            // Taking turns at going first, as in the main comparison.
            const std::size_t kind = (turn + static_cast<std::size_t>(round)) % kinds.size();
            const auto& [picture, reply] = kinds[kind];
            spill(program / "data" / "prefs.dat",
                  picture.string() + "\r\n/etc/hosts\r\n80\r\n80\r\nkeepHostsFile: True\r\n");
            Server server{"tessel", reply,
                          ServerProcess([&program](int readyFd) { runProgram(program, readyFd); })};
            if (!answers(server.process.port(), reply)) {
                std::printf("tessel did not answer with the expected reply\n");
                return;
            }
            warmUp(server);
            for (std::size_t s = 0; s <= kBusiest; ++s) {
                rates[kind][s] = measure(server, kScenarios[s]).perSecond;
            }
        }
        for (std::size_t s = 0; s <= kBusiest; ++s) {
            ratios[s].push_back(rates[0][s] / rates[1][s]);
        }
    }
    std::printf("\npicture (black.gif, %zu bytes) against redirect (%zu bytes), %d rounds\n",
                kinds[0].second.size(), kinds[1].second.size(), kRounds);
    for (std::size_t s = 0; s <= kBusiest; ++s) {
        const double ratio = middle(ratios[s]);
        std::printf("%-16s rate ratio %6.3f  within 5%%: %s\n", kScenarios[s].label, ratio,
                    verdict(std::abs(1.0 - ratio) <= 0.05));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view option = argc > 1 ? argv[1] : "";
    verbose = option == "-v";                      // every run, not just the medians
    const bool pictures = option == "--pictures";  // the picture against the redirect only
    if (::geteuid() != 0) {
        std::printf("needs root, for a network and a HOSTS file of its own\n");
        return 0;
    }
    const tessel::bench::ScratchDirectory scratch("tessel-bench-responder");
    if (scratch.path().empty() || !enterNamespaces(fs::path(scratch.path()) / "hosts")) {
        std::printf("could not enter private network and mount namespaces\n");
        return 0;
    }
    const fs::path program = fs::path(scratch.path()) / "program";
    const std::string reply = makeProgram(program);
    placeOn(kClientCpu);
    if (pictures) {
        comparePictureWithRedirect(program);
        return 0;
    }
    for (const bool placed : {true, false}) {
        pinned = placed;
        placeOn(kClientCpu);
        Server baseline{"baseline", reply, ServerProcess([&reply](int readyFd) {
                            placeOn(serverCpu());
                            tessel::bench::runBaselineServer(reply, readyFd);
                        })};
        Server ours{"tessel", reply,
                    ServerProcess([&program](int readyFd) { runProgram(program, readyFd); })};
        if (!baseline.process.running() || !answers(ours.process.port(), reply)) {
            std::printf("a server did not start or did not answer as expected\n");
        } else {
            for (Server* server : {&baseline, &ours}) {
                server->idleRssKb = tessel::bench::residentKb(server->process.pid());
                warmUp(*server);
            }
            std::printf("redirect responder, %s: %d runs of %lld ms per load and server, medians\n",
                        placed ? "servers pinned to the last processor" : "unpinned", kRepeats,
                        static_cast<long long>(kDuration.count()));
            measureAll({&baseline, &ours});
            printRuns(baseline, ours);
            printGoals(baseline, ours);
        }
    }
    return 0;
}
