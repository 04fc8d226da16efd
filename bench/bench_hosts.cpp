// Writing and restoring the HOSTS file with a list of a million names, against copying a file of
// the same size with /bin/cp into the same directory, measured in the same run.
//
// Each operation is timed here, in a process already running, as the program runs it. A forked
// child would also pay for copying every page of its parent it writes to, which no run of the
// program ever does. Its peak memory is measured apart, in a forked child (ru_maxrss from wait4):
// the parent never holds the big buffers between operations, and a child starts with the
// parent's small high-water mark. The child reports its resident size before the operation,
// which is subtracted.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "bench/support/BenchPlatform.h"
#include "hosts/HostsFile.h"
#include "platform/linux/PosixFileSystem.h"

extern char** environ;

namespace {

using tessel::platform::Answer;
using tessel::platform::Buttons;
using tessel::platform::Icon;

constexpr int kNames = 1'000'000;
constexpr int kRepetitions = 5;
// Against cp and an fdatasync of its copy: a durable write of the same bytes. A restore writes a
// few lines but must read the whole file first, so it is held to the copy itself.
constexpr double kWriteGoal = 1.5;
constexpr double kRestoreGoal = 1.0;
constexpr double kMemoryGoal = 1.2;

using tessel::bench::AbortingBox;
using tessel::bench::BenchProcess;

// Names shaped like those of real ad and tracking servers, the same in every run.
std::string makeList() {
    static const char* const kHeads[] = {"ads",      "ad",     "track", "pixel", "stats",   "cdn",
                                         "img",      "banner", "count", "log",   "metrics", "srv",
                                         "delivery", "sync",   "rtb",   "beacon"};
    static const char* const kWords[] = {"adnet",    "clickhub", "mediaserve", "tracker",
                                         "bannerly", "promo",    "syndicate",  "analytics",
                                         "exchange", "reach",    "impress",    "audience",
                                         "bidder",   "popunder", "affiliate",  "counter"};
    static const char* const kTops[] = {"com", "net", "org", "de", "co.uk", "io", "info", "biz"};
    std::mt19937 random(1999);
    const auto pick = [&random](const auto& table) {
        return table[random() % (sizeof table / sizeof table[0])];
    };
    std::string list;
    list.reserve(std::size_t{kNames} * 30);
    for (int i = 0; i < kNames; ++i) {
        list += pick(kHeads);
        list += std::to_string(random() % 100);
        list += '.';
        list += pick(kWords);
        if (random() % 3 == 0) {
            list += '-';
            list += pick(kWords);
        }
        list += '.';
        list += pick(kTops);
        list += "\r\n";
    }
    return list;
}

// A Debian-style HOSTS file the user already has, LF line ends.
constexpr std::string_view kUserHosts =
    "127.0.0.1\tlocalhost\n127.0.1.1\tworkstation\n\n"
    "# The following lines are desirable for IPv6 capable hosts\n"
    "::1     localhost ip6-localhost ip6-loopback\nff02::1 ip6-allnodes\nff02::2 ip6-allrouters\n"
    "192.168.1.20\tprinter.lan printer\n";

void put(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

double since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long residentKb() {
    long pages = 0;
    long resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

double cpuSeconds(const rusage& usage) {
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct ChildRun {
    double seconds = 0;
    double cpu = 0;    // user and system time of the whole child: load on a shared machine aside
    long extraKb = 0;  // peak resident size minus the size before the operation
};

struct Timed {
    double seconds = 0;
    double cpu = 0;  // user and system time of this process while op ran
};

Timed timed(const std::function<void()>& op) {
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    op();
    const double seconds = since(start);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    return {seconds, cpuSeconds(after) - cpuSeconds(before)};
}

// Runs op in a forked child; the child times it and sends its starting size through a pipe.
ChildRun inChild(const std::function<void()>& op) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        const long baseline = residentKb();
        const auto start = std::chrono::steady_clock::now();
        op();
        const double report[2] = {since(start), static_cast<double>(baseline)};
        const bool sent = ::write(pipeEnds[1], report, sizeof report) == sizeof report;
        ::_exit(sent ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    double report[2] = {0, 0};
    const bool received = ::read(pipeEnds[0], report, sizeof report) == sizeof report;
    ::close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_hosts: child failed\n");
        std::exit(1);
    }
    return {report[0], cpuSeconds(usage), usage.ru_maxrss - static_cast<long>(report[1])};
}

// Runs a program to its end; returns the processor time it took.
double run(const char* program, std::initializer_list<std::string> args) {
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    rusage usage{};
    if (::posix_spawn(&pid, program, nullptr, nullptr, argv.data(), environ) != 0 ||
        ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_hosts: %s failed\n", program);
        std::exit(1);
    }
    return cpuSeconds(usage);
}

struct CpRun {
    double seconds;
    double cpu;
};

CpRun timeCp(const std::string& from, const std::string& to) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu = run("/bin/cp", {from, to});
    return {since(start), cpu};
}

// How long making the copy durable takes: the share of fdatasync in a durable write.
double timeSync(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    const auto start = std::chrono::steady_clock::now();
    const int synced = ::fdatasync(fd);
    const double seconds = since(start);
    ::close(fd);
    return synced == 0 ? seconds : -1;
}

std::uintmax_t sizeOf(const std::string& path) {
    return std::filesystem::file_size(path);
}

struct Row {
    const char* name;
    double goal = 0;  // at most this many times cp + fdatasync
    std::uintmax_t bytes = 0;
    double op = 1e9, cp = 1e9, sync = 1e9, opCpu = 1e9, cpCpu = 1e9;
    long extraKb = 0;
};

// Best of kRepetitions of op and of the cp baseline, interleaved so that both see the same disk.
// cp goes over a copy of the file op replaces, so both pay for freeing the old one.
Row measure(const char* name, double goal, const std::string& dir, const std::string& target,
            const std::string& sample, const std::function<void()>& prepare,
            const std::function<void()>& op) {
    namespace fs = std::filesystem;
    Row row{name, goal};
    row.bytes = sizeOf(sample);
    const std::string copy = dir + "/cp-copy";
    for (int i = 0; i < kRepetitions; ++i) {
        prepare();
        fs::copy_file(target, copy, fs::copy_options::overwrite_existing);
        // Both start from a disk with nothing left to write, as the program finds the files it
        // synced itself: otherwise whichever syncs first pays for writing out what was prepared.
        ::sync();
        const Timed result = timed(op);
        row.op = std::min(row.op, result.seconds);
        row.opCpu = std::min(row.opCpu, result.cpu);
        const CpRun cp = timeCp(sample, copy);
        row.cp = std::min(row.cp, cp.seconds);
        row.cpCpu = std::min(row.cpCpu, cp.cpu);
        row.sync = std::min(row.sync, timeSync(copy));
    }
    ::unlink(copy.c_str());
    return row;
}

void print(const Row& row, bool& met) {
    const double mb = static_cast<double>(row.bytes) / 1e6;
    const double durableRatio = row.op / (row.cp + row.sync);
    const double memoryRatio =
        static_cast<double>(row.extraKb) * 1024 / static_cast<double>(row.bytes);
    met = met && durableRatio <= row.goal && memoryRatio <= kMemoryGoal;
    std::printf("%-14s %7.1f %7.1f %7.1f %6.2fx %7.1f %6.2fx %7.1f %7.1f %6.2fx %7.1f %6.2fx\n",
                row.name, mb, row.op * 1e3, row.cp * 1e3, row.op / row.cp, row.sync * 1e3,
                durableRatio, row.opCpu * 1e3, row.cpCpu * 1e3, row.opCpu / row.cpCpu,
                static_cast<double>(row.extraKb) / 1024, memoryRatio);
}

}  // namespace

int main() {
    const tessel::bench::ScratchDirectory scratch("tessel-bench-hosts");
    if (scratch.path().empty()) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string& dir = scratch.path();
    std::filesystem::create_directory(dir + "/data");
    // The list is made in a child too: the parent's high-water mark is what every child inherits.
    inChild([&] { put(dir + "/data/badHosts.dat", makeList()); });

    tessel::platform::PosixFileSystem files;
    tessel::hosts::HostsFile hosts(files, {dir}, "bench");
    const std::string replaced = dir + "/hosts-replace";
    const std::string kept = dir + "/hosts-keep";
    const std::string keptSample = dir + "/sample-keep";

    // The files each baseline copies: the results themselves, made once before measuring.
    inChild([&] { hosts.makeHostsFile(replaced, false); });
    put(kept, kUserHosts);
    inChild([&] { hosts.makeHostsFile(kept, true); });
    std::filesystem::copy_file(kept, keptSample);

    const auto nothing = [] {};
    const auto userFile = [&] { put(kept, kUserHosts); };
    const auto appendedFile = [&] { run("/bin/cp", {keptSample, kept}); };
    const auto replace = [&] { hosts.makeHostsFile(replaced, false); };
    const auto keep = [&] { hosts.makeHostsFile(kept, true); };
    const auto restore = [&] { hosts.giveBackHostsFile(kept, true); };
    // Each peak is taken before the operation has run here and left freed blocks in this
    // process's heap for a child to reuse. Restoring puts back what replacing kept aside, so it
    // comes last.
    const auto peakKb = [](const std::function<void()>& prepare, const std::function<void()>& op) {
        prepare();
        return inChild(op).extraKb;
    };
    const long replacePeak = peakKb(nothing, replace);
    const long keepPeak = peakKb(userFile, keep);
    Row rows[] = {
        measure("replace write", kWriteGoal, dir, replaced, replaced, nothing, replace),
        measure("keep write", kWriteGoal, dir, kept, keptSample, userFile, keep),
        {"keep restore"},
    };
    rows[0].extraKb = replacePeak;
    rows[1].extraKb = keepPeak;
    const long restorePeak = peakKb(appendedFile, restore);
    rows[2] = measure("keep restore", kRestoreGoal, dir, kept, keptSample, appendedFile, restore);
    rows[2].extraKb = restorePeak;
    if (sizeOf(kept) != kUserHosts.size()) {
        std::fprintf(stderr, "bench_hosts: restore did not give the user file back\n");
        return 1;
    }

    std::printf(
        "%d names, best of %d; goals: op/cps <= %.1fx (writes), <= %.1fx (restore), "
        "peak <= %.1fx file\n",
        kNames, kRepetitions, kWriteGoal, kRestoreGoal, kMemoryGoal);
    std::printf("%-14s %7s %7s %7s %7s %7s %7s %7s %7s %7s %7s %7s\n", "operation", "MB", "op ms",
                "cp ms", "op/cp", "sync ms", "op/cps", "op cpu", "cp cpu", "cpu/cp", "peak MB",
                "/file");
    bool met = true;
    for (const Row& row : rows) {
        print(row, met);
    }
    std::printf(
        "sync ms: fdatasync of the cp result; op/cps: op against cp + that fdatasync; cpu: user +\n"
        "system time (op's, cp's process); peak MB: op's peak resident size (in a child) over its "
        "start\n");
    std::printf("%s\n", met ? "all goals met" : "GOAL MISSED");
    return met ? 0 : 2;
}
