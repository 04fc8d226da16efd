// Faults of real file systems (a full disk, read-only mounts, an immutable file) and writers killed
// outright, on the program's file writer run under strace. main() enters a private mount
// namespace, so no mount outlives the test; every HOSTS file here is one of the test's own.

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "fault/Fault.h"
#include "hosts/HostsFile.h"
#include "platform/linux/PosixFileSystem.h"

namespace tessel::fault {
namespace {

bool privateMounts = false;  // root, in a mount namespace of the test's own

// The new bytes take more pages than the old, so a rewrite in place must claim room.
const std::string kOld(40'000, 'o'), kNew(48'000, 'n');

// The syncs, renames and unlinks in a trace, in order.
std::string tracedCalls(const std::string& trace) {
    std::string calls;
    std::ifstream in(trace);
    for (std::string call; std::getline(in, call, '(') && in.ignore(1 << 20, '\n');) {
        calls += call == "write" ? "" : call + " ";
    }
    return calls;
}

bool hasTemporaries(const std::string& dir) {
    const auto names = entries(dir);
    return std::any_of(names.begin(), names.end(),
                       [](const std::string& name) { return name.starts_with(".tessel-"); });
}

// A tmpfs of the test's own in `s`, its etc/hosts and small/hosts holding kOld and `new` kNew.
void lay(const Scratch& s) {
    ASSERT_EQ(::mount("tessel", s.dir.c_str(), "tmpfs", 0, nullptr), 0);
    ASSERT_TRUE(std::filesystem::create_directories(s / "etc") &&
                ::mkdir((s / "small").c_str(), 0755) == 0);
    put(s / "new", kNew);
    put(s / "etc/hosts", kOld);
    put(s / "small/hosts", kOld);
}

struct Row {
    const char* name;
    const char* setup;   // shell commands in the scratch directory, whose etc/hosts holds kOld
    const char* strace;  // more options: a kill injected, another user
    bool remove;         // a removal rather than a write of kNew
    const char* calls;   // nullptr: not checked
    char after;          // after the next start: 'o'ld, 'n'ew or 'g'one
    const char* error;   // the failure reported, or ""
};

void run(const Row& row) {
    Scratch s;
    const std::string hosts = s / "etc/hosts";
    ASSERT_NO_FATAL_FAILURE(lay(s));
    const std::string cd = "cd " + s.dir + " && ";
    const std::string setup = cd + "chown 65534:65534 etc/hosts small/hosts && chmod 604 " +
                              "etc/hosts small/hosts && " + row.setup;
    ASSERT_EQ(std::system(setup.c_str()), 0) << setup;
    platform::PosixFileSystem files;
    const auto want = files.ownership(hosts).value_or(platform::Ownership{0, 0, 0640});
    // The leak checker cannot run under a tracer.
    const std::string command = cd +
                                "umask 027 && ASAN_OPTIONS=detect_leaks=0 exec strace -qq -o trace "
                                "-e trace=fdatasync,fsync,rename,renameat2,unlink,write " +
                                row.strace + " " + TESSEL_FAULT_WRITER + " etc/hosts" +
                                (row.remove ? "" : " new") + " >report";
    const bool killed = std::string_view(row.strace).starts_with("-e inject");
    EXPECT_EQ(std::system(command.c_str()) == 0, !killed && !*row.error);
    EXPECT_EQ(contentOf(s / "report"), *row.error ? row.error + std::string("\n") : "");
    EXPECT_TRUE(!row.calls || tracedCalls(s / "trace") == row.calls) << tracedCalls(s / "trace");
    const std::string expected = row.after == 'o' ? kOld : row.after == 'n' ? kNew : "";
    // A plain file is replaced whole or not at all; one rewritten in place (a bind mount) may be
    // torn until the next start.
    EXPECT_TRUE(std::string_view(row.setup).starts_with("mount --bind small") ||
                contentOf(hosts) == expected);
    // A write that ends, well or not, leaves no temporary; a killed one leaves them to the next
    // start.
    EXPECT_TRUE(killed || !hasTemporaries(s / "etc"));
    files.removeLeftovers(s / "etc");  // what the next start does first
    EXPECT_FALSE(hasTemporaries(s / "etc"));
    EXPECT_TRUE(contentOf(hosts) == expected) << contentOf(hosts).size() << " bytes";
    EXPECT_EQ(std::filesystem::exists(hosts), row.after != 'g');
    // A replaced file keeps its owner and mode; a new one gets 0666 less the umask.
    const auto kept = files.ownership(hosts).value_or(platform::Ownership{});
    EXPECT_TRUE(row.after == 'g' || (kept.owner == want.owner && kept.mode == want.mode));
}

// The data is synced before the rename and the directory after it. A kill leaves, once the next
// start has cleaned up, one whole version and no temporary; so does every failure, reported with
// the system's description.
TEST(Fault, WritesAreDurableAndWholeWhateverHappens) {
    if (!privateMounts || std::system("strace -V >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "needs root, a private mount namespace and strace";
    }
    const char* kBind = "mount --bind small/hosts etc/hosts";
    const char* kRename = "fdatasync rename fsync ";
    const char* kNoTmpFile = "-P etc -e trace=openat -e inject=openat:error=EOPNOTSUPP:when=1";
    const Row rows[] = {
        {"Replace", "true", "", false, kRename, 'n', ""},
        {"Create", "rm etc/hosts", "", false, kRename, 'n', ""},
        {"Remove", "true", "", true, "unlink fsync ", 'g', ""},
        {"InPlace", kBind, "", false, "fdatasync rename renameat2 fsync fdatasync unlink ", 'n',
         ""},
        // A directory only root may create in, holding a file nobody may write.
        {"InPlaceAsNobody", "chmod 555 etc", "-u nobody", false, "fdatasync ", 'n', ""},
        {"KillMidData", "true", "-e inject=write:signal=KILL:when=5", false, nullptr, 'o', ""},
        {"KillAtRename", "true", "-e inject=rename:signal=KILL", false, nullptr, 'o', ""},
        {"KillInPlace", kBind, "-e inject=write:signal=KILL:when=17", false, nullptr, 'n', ""},
        {"FullDisk",
         "mount -t tmpfs -o size=64k t etc && cp -p small/hosts etc && (head -c 1M /dev/zero "
         ">etc/fill; true) 2>/dev/null",
         "", false, nullptr, 'o', "No space left on device"},
        {"FullDiskInPlace",
         "mount -t tmpfs -o size=64k t small && cp -p etc/hosts small && mount --bind small/hosts "
         "etc/hosts && (head -c 1M /dev/zero >small/fill; true) 2>/dev/null",
         "", false, nullptr, 'o', "No space left on device"},
        {"Immutable", "chattr +i etc/hosts", "", false, nullptr, 'o', "Operation not permitted"},
        {"ReadOnlyFile", "mount --bind etc/hosts etc/hosts && mount -o remount,bind,ro etc/hosts",
         "", false, nullptr, 'o', "Read-only file system"},
        {"ReadOnlyDirectory", "mount --bind etc etc && mount -o remount,bind,ro etc", "", false,
         nullptr, 'o', "Read-only file system"},
        // Where the directory can make no unnamed temporary, the helper's writer refuses rather
        // than make one with a name the user could open first; the program's own uses a name.
        {"NoUnnamedTemporary", "true", kNoTmpFile, false, nullptr, 'n', ""},
        {"NoUnnamedTemporaryForTheHelper", "true",
         "-E TESSEL_UNNAMED_ONLY=1 -P etc -e trace=openat -e inject=openat:error=EOPNOTSUPP:when=1",
         false, nullptr, 'o',
         "no unnamed temporary file can be made in etc, and a named one is not safe there"},
        {"RemoveReadOnlyDirectory", "mount --bind etc etc && mount -o remount,bind,ro etc", "",
         true, nullptr, 'o', "Read-only file system"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        run(row);
    }
}

// An in-place rewrite cut at a chosen byte (a file size limit, SIGXFSZ ignored) keeps its copy,
// and so does a start that cannot read that copy (no descriptor left): the copy goes only once a
// start has finished the rewrite, so the file ends whole, never torn for good.
TEST(Fault, CutRewritesAreFinishedWhateverCutsThem) {
    if (!privateMounts || std::system("strace -V >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "needs root, a private mount namespace and strace";
    }
    struct Cut {
        const char* name;
        const char* write;   // strace options for the write
        const char* finish;  // strace options for the first start after it
    };
    const Cut rows[] = {
        {"FileTooLargeAtAByte", "-e inject=write:error=EFBIG:when=17", ""},
        {"NoDescriptorForTheCopy", "-e inject=write:signal=KILL:when=17",
         "-P etc/.tessel-redo-hosts -e trace=openat -e inject=openat:error=EMFILE"},
    };
    for (const Cut& row : rows) {
        Scratch s;
        ASSERT_NO_FATAL_FAILURE(lay(s));
        const std::string strace =
            "cd " + s.dir + " && ASAN_OPTIONS=detect_leaks=0 strace -qq -o /dev/null ";
        const std::string writer = std::string(" ") + TESSEL_FAULT_WRITER + " ";
        const std::string steps[] = {
            "mount --bind small/hosts etc/hosts",
            strace + row.write + writer + "etc/hosts new >/dev/null; true",
            strace + (*row.finish ? row.finish : "-e trace=none") + writer + "--finish etc/hosts",
        };
        for (const std::string& step : steps) {
            ASSERT_EQ(std::system(("cd " + s.dir + " && " + step).c_str()), 0) << step;
        }
        const bool kept = std::filesystem::exists(s / "etc/.tessel-redo-hosts");
        const bool firstFinished = contentOf(s / "etc/hosts") == kNew;
        platform::PosixFileSystem().removeLeftoversOf(s / "etc/hosts", std::nullopt);
        EXPECT_TRUE(contentOf(s / "etc/hosts") == kNew && !hasTemporaries(s / "etc") &&
                    (firstFinished || kept))
            << row.name << ": " << contentOf(s / "etc/hosts").size() << " bytes, copy kept "
            << kept;
    }
}

// A restore that fails is reported as one that ends the program: replace mode cannot delete an
// immutable file; in keep mode the file has gone.
TEST(Fault, FailedRestoreEndsTheProgram) {
    if (!privateMounts) {
        GTEST_SKIP() << "needs root";
    }
    const std::tuple<bool, core::Failure, int> rows[] = {
        {false, core::Failure::CannotGiveBack, EPERM},
        {true, core::Failure::CannotRemoveText, ENOENT}};
    for (const auto& [keep, failure, number] : rows) {
        SCOPED_TRACE(keep);
        Scratch s;
        const std::string hosts = s / "hosts";
        ASSERT_TRUE(::mount("tessel", s.dir.c_str(), "tmpfs", 0, nullptr) == 0 &&
                    std::filesystem::create_directory(s / "data"));
        put(s / "data/badHosts.dat", "ad.example\r\n");
        platform::PosixFileSystem files;
        hosts::HostsFile hostsFile(files, {s.dir}, "testbox");
        ASSERT_TRUE(hostsFile.makeHostsFile(hosts, keep).ok());
        const std::string strike = keep ? "rm " : "chattr +i ";
        ASSERT_EQ(std::system((strike + hosts).c_str()), 0);
        const auto outcome = hostsFile.giveBackHostsFile(hosts, keep);
        EXPECT_TRUE(outcome.ends() && outcome.failure == failure && outcome.number == number);
    }
}

}  // namespace
}  // namespace tessel::fault

// The mount namespace is entered before anything could start a thread: unshare refuses a new one
// to a process whose threads share its file system context.
int main(int argc, char** argv) {
    tessel::fault::privateMounts =
        ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
