// Giving the HOSTS file back at exit when it cannot be written or has gone: the restorer must say
// what went wrong and end the program (a return means success), and must not touch the file.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "core/HostsText.h"
#include "fakes/FakePlatform.h"
#include "fault/Fault.h"
#include "hosts/HostsFile.h"
#include "platform/linux/PosixFileSystem.h"

namespace tessel::fault {
namespace {

using fakes::FakeMessageBox;
using fakes::FakeProcess;
using fakes::ProgramEnded;
using platform::PosixFileSystem;

const std::string kUserHosts = "127.0.0.1 localhost\n10.1.2.3 printer.lan\n";
const std::string kList = "ad.example\r\ntrack.example\r\n";

// Sets or clears the immutable attribute, as chattr +i / -i would; false where the file system or
// the process's rights do not allow it.
bool setImmutable(const std::string& file, bool on) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

enum class Fault { Immutable, ReadOnlyBind, ReadOnlyDirectory, Vanished };

struct Case {
    const char* name;
    Fault fault;
    bool keep;
    const char* expected;  // the whole message shown
};

void PrintTo(const Case& row, std::ostream* out) {
    *out << row.name;
}

class RestoreFault : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root";
        }
        dir = makeScratch("restore");
        ASSERT_FALSE(dir.empty());
        etc = dir + "/etc";
        ASSERT_EQ(::mkdir(etc.c_str(), 0755), 0);
        hostsPath = etc + "/hosts";
        process.directory = dir;
        ASSERT_EQ(::mkdir((dir + "/data").c_str(), 0755), 0);
        put(dir + "/data/badHosts.dat", kList);
    }
    void TearDown() override {
        if (immutable_) {
            setImmutable(hostsPath, false);
        }
        if (!mount_.empty()) {
            ::umount2(mount_.c_str(), MNT_DETACH);
        }
        if (!dir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        }
    }

    // Puts the fault in place after the program's own write; false when this machine cannot.
    bool inject(Fault fault) {
        switch (fault) {
            case Fault::Immutable:
                immutable_ = setImmutable(hostsPath, true);
                return immutable_;
            case Fault::ReadOnlyBind:
                if (!privateMounts ||
                    ::mount(hostsPath.c_str(), hostsPath.c_str(), nullptr, MS_BIND, nullptr) != 0) {
                    return false;
                }
                mount_ = hostsPath;
                return ::mount(nullptr, hostsPath.c_str(), nullptr,
                               MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
            case Fault::ReadOnlyDirectory:
                if (!privateMounts ||
                    ::mount(etc.c_str(), etc.c_str(), nullptr, MS_BIND, nullptr) != 0) {
                    return false;
                }
                mount_ = etc;
                return ::mount(nullptr, etc.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                               nullptr) == 0;
            case Fault::Vanished:
                return ::unlink(hostsPath.c_str()) == 0;
        }
        return false;
    }

    std::string dir;
    std::string etc;
    std::string hostsPath;
    PosixFileSystem files;
    FakeMessageBox box;
    FakeProcess process;

private:
    bool immutable_ = false;
    std::string mount_;
};

TEST_P(RestoreFault, ReportsAndEndsLeavingTheFileAsItWas) {
    const Case& row = GetParam();
    put(hostsPath, kUserHosts);
    hosts::HostsFile hostsFile(box, files, process, nullptr);
    hostsFile.makeHostsFile(hostsPath, row.keep);
    ASSERT_TRUE(box.shown.empty()) << box.prompts()[0];
    const std::string written = contentOf(hostsPath);
    ASSERT_NE(written, kUserHosts);

    if (!inject(row.fault)) {
        GTEST_SKIP() << "this machine cannot inject the fault";
    }
    EXPECT_THROW(hostsFile.giveBackHostsFile(hostsPath, row.keep), ProgramEnded);
    EXPECT_EQ(process.ended, 1);
    ASSERT_EQ(box.prompts().size(), 1U);
    EXPECT_EQ(box.prompts()[0], row.expected);
    if (row.fault == Fault::Vanished) {
        EXPECT_FALSE(exists(hostsPath));
    } else {
        EXPECT_TRUE(holds(hostsPath, written));
    }
    EXPECT_TRUE(temporaries(etc).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RestoreFault,
    ::testing::Values(
        Case{"KeepImmutable", Fault::Immutable, true,
             "Error removing text from HOSTS file: Operation not permitted\r\nExiting anyway."},
        Case{"ReplaceImmutable", Fault::Immutable, false,
             "Error deleting HOSTS file: Operation not permitted\r\nExiting anyway."},
        Case{"KeepReadOnlyBindMount", Fault::ReadOnlyBind, true,
             "Error removing text from HOSTS file: Read-only file system\r\nExiting anyway."},
        Case{"ReplaceReadOnlyBindMount", Fault::ReadOnlyBind, false,
             "Error deleting HOSTS file: Read-only file system\r\nExiting anyway."},
        Case{"KeepReadOnlyDirectory", Fault::ReadOnlyDirectory, true,
             "Error removing text from HOSTS file: Read-only file system\r\nExiting anyway."},
        Case{"ReplaceReadOnlyDirectory", Fault::ReadOnlyDirectory, false,
             "Error deleting HOSTS file: Read-only file system\r\nExiting anyway."},
        Case{"KeepVanished", Fault::Vanished, true,
             "Error removing text from HOSTS file: No such file or directory\r\nExiting anyway."}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace tessel::fault
