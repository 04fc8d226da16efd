// A writer killed outright (SIGKILL: no handler, no clean-up) at random moments while it replaces a
// large file over and over: once the next start has cleared what the kill left, the file must
// hold one whole version, never a mix, a cut or nothing. A plain file is whole at every moment;
// a bind-mounted one (renames refused) may be torn until the start rewrites it from its redo copy.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "fault/Contents.h"
#include "fault/Fault.h"
#include "platform/linux/PosixFileSystem.h"

extern char** environ;

namespace tessel::fault {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kKills = 30;

// Starts the writer and returns once it says its writes begin.
pid_t spawnWriter(const std::string& file, const std::string& first, const std::string& second) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, ready[1], STDOUT_FILENO);
    pid_t pid = -1;
    std::string program = TESSEL_FAULT_WRITER;
    std::string target = file;
    std::string a = first;
    std::string b = second;
    char* argv[] = {program.data(), target.data(), a.data(), b.data(), nullptr};
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    char byte = 0;
    pollfd waiting{ready[0], POLLIN, 0};
    const bool started = spawned == 0 && ::poll(&waiting, 1, 10'000) == 1 &&
                         ::read(ready[0], &byte, 1) == 1 && byte == 'r';
    ::close(ready[0]);
    if (!started && spawned == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    return started ? pid : -1;
}

class SigkillWrite : public ::testing::TestWithParam<bool> {};

TEST_P(SigkillWrite, FileHoldsOneWholeVersionAfterTheNextStart) {
    const bool bindMounted = GetParam();
    if (bindMounted && !privateMounts) {
        GTEST_SKIP() << "needs root and a private mount namespace";
    }
    const std::string dir = makeScratch("kill");
    ASSERT_FALSE(dir.empty());
    const std::string file = dir + "/hosts";
    const std::string a = killContent('A', kSizeA);
    const std::string b = killContent('B', kSizeB);
    put(file, a);
    const std::string mounted = makeScratch("kill-mounted");
    if (bindMounted) {
        put(mounted + "/hosts", a);
        ASSERT_EQ(::mount((mounted + "/hosts").c_str(), file.c_str(), nullptr, MS_BIND, nullptr),
                  0);
    }
    // The contents live outside the watched directory, so they are not taken for debris.
    const std::string sources = makeScratch("kill-contents");
    ASSERT_FALSE(sources.empty());
    put(sources + "/a", a);
    put(sources + "/b", b);

    // One durable write of the larger content sets the scale of the random delays, so kills land
    // before, inside and between writes on a fast or a slow disk alike.
    platform::PosixFileSystem files;
    const auto started = Clock::now();
    ASSERT_TRUE(files.writeFile(file, b).ok());
    const auto oneWrite =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    ASSERT_TRUE(files.writeFile(file, a).ok());
    // Up to three writes' time after the writer starts writing: kills land in the first, second or
    // third write, inside the data, the sync or the rename.
    const auto longest = std::min<std::chrono::microseconds>(3 * oneWrite + 2ms, 1500ms);

    std::random_device seeder;
    const unsigned seed = seeder();
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delay(0, longest.count());

    int asA = 0, asB = 0, torn = 0, tornBeforeStart = 0, midWrite = 0, finishedEarly = 0;
    long debrisBytes = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        const pid_t writer = spawnWriter(file, sources + "/a", sources + "/b");
        ASSERT_GT(writer, 0);
        const long wait = delay(random);
        if (wait > 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(wait));
        }
        ::kill(writer, SIGKILL);
        int status = 0;
        ::waitpid(writer, &status, 0);
        if (!WIFSIGNALED(status)) {
            ++finishedEarly;
        }
        // An interrupted write leaves its temporary file: proof that the kill landed inside it.
        const auto debris = temporaries(dir);
        if (!debris.empty()) {
            ++midWrite;
        }
        for (const auto& temporary : debris) {
            struct stat info {};
            if (::stat(temporary.c_str(), &info) == 0) {
                debrisBytes += static_cast<long>(info.st_size);
            }
        }
        const std::string killed = contentOf(file);
        tornBeforeStart += killed != a && killed != b ? 1 : 0;
        files.removeLeftovers(dir);  // what the next start does first
        EXPECT_TRUE(temporaries(dir).empty());
        const std::string now = contentOf(file);
        if (now == a) {
            ++asA;
        } else if (now == b) {
            ++asB;
        } else {
            ++torn;
            ADD_FAILURE() << "kill " << kill << ": the file holds " << now.size()
                          << " bytes that are neither version (seed " << seed << ")";
        }
    }
    std::printf(
        "SIGKILL writes%s: %d kills (seed %u, one write %lld us, delays up to %lld us): "
        "%d torn at the kill, after the next start %d version A, %d version B, %d torn; "
        "%d landed mid-write; %ld bytes of temporary files left behind; %d writers ended "
        "before the kill\n",
        bindMounted ? " to a bind-mounted file" : "", kKills, seed,
        static_cast<long long>(oneWrite.count()), static_cast<long long>(longest.count()),
        tornBeforeStart, asA, asB, torn, midWrite, debrisBytes, finishedEarly);
    RecordProperty("kills", kKills);
    RecordProperty("midWrite", midWrite);
    RecordProperty("torn", torn);
    EXPECT_EQ(torn, 0);
    if (!bindMounted) {
        EXPECT_EQ(tornBeforeStart, 0) << "a plain file is replaced whole or not at all";
    }
    EXPECT_EQ(finishedEarly, 0);
    EXPECT_GT(midWrite, 0) << "no kill landed inside a write: the test proved nothing";
    if (bindMounted) {
        ::umount2(file.c_str(), MNT_DETACH);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    std::filesystem::remove_all(sources, ignored);
    std::filesystem::remove_all(mounted, ignored);
}

INSTANTIATE_TEST_SUITE_P(Files, SigkillWrite, ::testing::Values(false, true),
                         [](const auto& row) { return row.param ? "BindMounted" : "Plain"; });

}  // namespace
}  // namespace tessel::fault
