// `tessel --export` of 2,000,000 subscribed names, run as the program itself from a copy of the
// built program directory: its time against awk making the same kind of file from the same list
// in the same run, and its peak memory against the size of the file it writes. Then, as root in
// a private network namespace, how long dnsmasq and Unbound take to load 1,000,000 exported names
// until they answer the first query.

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/ListCopies.h"
#include "bench/support/BenchPlatform.h"

namespace {

constexpr int kNames = 2'000'000;
constexpr int kLoaded = 1'000'000;

struct Run final {
    double seconds = 0;
    long peakKiB = 0;
    int status = 0;
};

// The command started, its output in `out` (nothing when empty).
pid_t start(const std::vector<std::string>& command, const std::string& out = {}) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (!out.empty() && !std::freopen(out.c_str(), "w", stdout)) {
            std::_Exit(127);
        }
        std::vector<char*> argv;
        for (const auto& part : command) {
            argv.push_back(const_cast<char*>(part.c_str()));
        }
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        std::_Exit(127);
    }
    return child;
}

// The command's time and peak memory.
Run measure(const std::vector<std::string>& command, const std::string& out = {}) {
    const auto began = std::chrono::steady_clock::now();
    const pid_t child = start(command, out);
    Run run;
    rusage usage{};
    ::wait4(child, &run.status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    run.peakKiB = usage.ru_maxrss;
    return run;
}

void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A program directory of the bench's own, holding one subscribed list of `names` names.
void prepare(const std::string& dir, int names) {
    namespace fs = std::filesystem;
    fs::copy(TESSEL_BENCH_PROGRAM, dir, fs::copy_options::recursive);
    const std::string data = dir + "/data";
    const tessel::core::ProgramPaths paths{dir};
    const std::string url = "file:///bench/list.txt";
    const std::string key = tessel::app::listKey(url);
    std::string list;
    for (int i = 0; i < names; ++i) {
        list.append("0.0.0.0 ads").append(std::to_string(i)).append(".bench.example\n");
    }
    put(paths.listCopy(key), list);
    put(paths.listState(key), url + "\r\n\r\n\r\n0\r\nUp to date\r\n");
    put(paths.lists(), url + "\n");
}

long fileKiB(const std::string& path) {
    return static_cast<long>(std::filesystem::file_size(path) / 1024);
}

// Seconds until the server answers a listed name, started in this (private) network namespace.
double loadTime(const std::string& server, const std::vector<std::string>& command) {
    const auto began = std::chrono::steady_clock::now();
    const pid_t child = start(command);
    const std::string dig =
        "dig +short +time=1 +tries=1 @127.0.0.1 -p 5399 ads7.bench.example 2>/dev/null | grep -q "
        "0.0.0.0";
    double took = -1;
    for (int i = 0; i < 600; ++i) {
        if (std::system(dig.c_str()) == 0) {
            took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
            break;
        }
        ::usleep(100'000);
    }
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    std::printf("%s loads %d exported names and answers in %.1f s\n", server.c_str(), kLoaded,
                took);
    return took;
}

void loadServers(const std::string& scratch) {
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0 ||
        std::system("ip link set lo up && command -v dnsmasq unbound dig >/dev/null") != 0) {
        std::puts("server loading skipped: needs root, dnsmasq, unbound and dig");
        return;
    }
    const std::string dir = scratch + "/million";
    prepare(dir, kLoaded);
    const std::string tessel = dir + "/tessel";
    measure({tessel, "--export", "dnsmasq", scratch + "/m.dnsmasq"});
    measure({tessel, "--export", "unbound", scratch + "/m.unbound"});
    loadTime("dnsmasq", {"dnsmasq", "--keep-in-foreground", "--no-resolv", "--no-hosts",
                         "--bind-interfaces", "--listen-address=127.0.0.1", "--port=5399",
                         "--user=root", "--conf-file=" + scratch + "/m.dnsmasq"});
    put(scratch + "/unbound.conf",
        "server:\n interface: 127.0.0.1\n port: 5399\n username: \"\"\n"
        " chroot: \"\"\n pidfile: \"\"\n use-syslog: no\n"
        "remote-control:\n control-enable: no\ninclude: \"" +
            scratch + "/m.unbound\"\n");
    loadTime("Unbound", {"unbound", "-d", "-c", scratch + "/unbound.conf"});
}

}  // namespace

int main() {
    const tessel::bench::ScratchDirectory scratch("tessel-bench-export");
    const std::string dir = scratch.path() + "/program";
    prepare(dir, kNames);
    const std::string list =
        dir + "/data/list-" + tessel::app::listKey("file:///bench/list.txt") + ".dat";
    const std::string out = scratch.path() + "/out.hosts";
    double best = 0, baseline = 0;
    long peak = 0;
    for (int round = 0; round < 3; ++round) {
        const Run run = measure({dir + "/tessel", "--export", "hosts", out});
        const Run awk =
            measure({"awk", "{ print \"0.0.0.0\", $2 }", list}, scratch.path() + "/awk.out");
        if (run.status != 0 || awk.status != 0) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        best = round == 0 || run.seconds < best ? run.seconds : best;
        baseline = round == 0 || awk.seconds < baseline ? awk.seconds : baseline;
        peak = run.peakKiB;
    }
    std::printf("export of %d names: %.2f s, %.2fx awk's %.2f s over the same list\n", kNames, best,
                best / baseline, baseline);
    std::printf("peak memory %ld KiB, %.2fx the %ld KiB file it wrote\n", peak,
                static_cast<double>(peak) / static_cast<double>(fileKiB(out)), fileKiB(out));
    loadServers(scratch.path());
    return 0;
}
