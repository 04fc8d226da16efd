// Block lists of a million names, each against a baseline measured in the same run:
//  1. merging the subscribed names with the shipped badHosts.dat and writing the HOSTS file,
//     against writing the same number of names from badHosts.dat alone (goal: at most 2x);
//  2. `getent hosts` of a name that is not listed, on the file with the names several to a line
//     against the same names one to a line (goal: at most 0.35x). It runs as root, in private
//     mount and network namespaces with the file bound over /etc/hosts; elsewhere it is skipped.

#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/support/BenchPlatform.h"
#include "core/BlockLists.h"
#include "core/HostsText.h"
#include "hosts/HostsFile.h"
#include "platform/linux/PosixFileSystem.h"

extern char** environ;

namespace {

constexpr int kNames = 1'000'000;
constexpr int kRepetitions = 5;
constexpr int kLookups = 9;
constexpr double kMergeGoal = 2.0;
constexpr double kLookupGoal = 0.35;

using tessel::bench::AbortingBox;
using tessel::bench::BenchProcess;

// Distinct names shaped like those of ad servers, ending in `end` (LF or CR LF).
std::string makeNames(const char* end) {
    static const char* const kWords[] = {"adnet", "tracker", "banner", "metrics",
                                         "pixel", "promo",   "beacon", "syndicate"};
    static const char* const kTops[] = {"com", "net", "io", "de"};
    std::string names;
    for (int i = 0; i < kNames; ++i) {
        names.append("ads").append(std::to_string(i)).append(".").append(kWords[i % 8]);
        names.append(".").append(kTops[(i / 8) % 4]).append(end);
    }
    return names;
}

void put(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double seconds(const std::function<void()>& op) {
    const auto start = std::chrono::steady_clock::now();
    op();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each in a program directory of its own: a HostsFile writing in replace mode.
struct Writer {
    explicit Writer(const std::string& dir) : hosts(files, {dir}, "bench") {
        std::filesystem::create_directories(dir + "/data");
    }
    tessel::platform::PosixFileSystem files;
    tessel::hosts::HostsFile hosts;
};

bool benchMerge(const std::string& dir) {
    Writer alone(dir + "/alone");
    Writer merged(dir + "/merged");
    put(dir + "/alone/data/badHosts.dat", makeNames("\r\n"));
    const std::string shipped = get(std::string(TESSEL_BENCH_DATA) + "/badHosts.dat");
    put(dir + "/merged/data/badHosts.dat", shipped);
    std::string names;
    const std::string text = makeNames("\n");
    const double parse =
        seconds([&] { names = tessel::core::combine({tessel::core::parseList(text).names}); });
    const tessel::core::AllowList allow("*.allowed.example\r\n");
    merged.hosts.setNamesProvider(
        [&](std::string_view list) { return tessel::core::merge(list, names, allow); });
    double base = 1e9;
    double subject = 1e9;
    for (int i = 0; i < kRepetitions; ++i) {
        base = std::min(base, seconds([&] { alone.hosts.makeHostsFile(dir + "/hosts-a", false); }));
        subject = std::min(subject,
                           seconds([&] { merged.hosts.makeHostsFile(dir + "/hosts-m", false); }));
    }
    std::printf(
        "merge+write %d subscribed names: %.0f ms; %d badHosts.dat names alone: %.0f ms; "
        "ratio %.2fx (goal <= %.1fx); reading and combining the list, once a download: %.0f ms\n",
        kNames, subject * 1e3, kNames, base * 1e3, subject / base, kMergeGoal, parse * 1e3);
    return subject / base <= kMergeGoal;
}

// In a child with its own mount and network namespaces: `path` bound over /etc/hosts, the best
// of kLookups runs of getent for a name that is not there. Negative when it cannot run.
double getentMs(const std::string& path) {
    int ends[2];
    if (::pipe(ends) != 0) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        double best = -1;
        if (::unshare(CLONE_NEWNS | CLONE_NEWNET) == 0 &&
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            ::mount(path.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) == 0) {
            char* argv[] = {const_cast<char*>("getent"), const_cast<char*>("hosts"),
                            const_cast<char*>("name-not-listed.invalid"), nullptr};
            for (int i = 0; i < kLookups; ++i) {
                pid_t pid = 0;
                int status = 0;
                const double took = seconds([&] {
                    ::posix_spawnp(&pid, "getent", nullptr, nullptr, argv, environ);
                    ::waitpid(pid, &status, 0);
                });
                best = best < 0 ? took * 1e3 : std::min(best, took * 1e3);
            }
        }
        const bool sent = ::write(ends[1], &best, sizeof best) == sizeof best;
        ::_exit(sent ? 0 : 1);
    }
    ::close(ends[1]);
    double best = -1;
    if (::read(ends[0], &best, sizeof best) != sizeof best) {
        best = -1;
    }
    ::close(ends[0]);
    ::waitpid(child, nullptr, 0);
    return best;
}

bool benchLookup(const std::string& dir) {
    const std::string names = makeNames("\n");
    put(dir + "/one-per-line", tessel::core::replaceModeText(names));
    put(dir + "/several", tessel::core::replaceModeText({}, {}, names));
    double one = 1e9;
    double several = 1e9;
    for (int i = 0; i < 3; ++i) {
        one = std::min(one, getentMs(dir + "/one-per-line"));
        several = std::min(several, getentMs(dir + "/several"));
    }
    if (one < 0 || several < 0) {
        std::printf("getent: skipped (needs root and private namespaces)\n");
        return true;
    }
    std::printf(
        "getent miss, %d names: %d to a line %.1f ms, one to a line %.1f ms; ratio %.2fx "
        "(goal <= %.2fx)\n",
        kNames, static_cast<int>(tessel::core::kNamesPerLine), several, one, several / one,
        kLookupGoal);
    return several / one <= kLookupGoal;
}

}  // namespace

int main() {
    const tessel::bench::ScratchDirectory scratch("tessel-bench-lists");
    if (scratch.path().empty()) {
        std::perror("mkdtemp");
        return 1;
    }
    const bool merge = benchMerge(scratch.path());
    const bool lookup = benchLookup(scratch.path());
    std::printf("%s\n", merge && lookup ? "all goals met" : "GOAL MISSED");
    return merge && lookup ? 0 : 2;
}
