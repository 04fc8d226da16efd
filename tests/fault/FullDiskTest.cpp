// A full disk at every place the program writes: prefs.dat, badHosts.dat and the HOSTS file. Each
// write must fail with the system's description, leave the old file byte for byte, and leave no
// temporary file behind. The disk is a tiny tmpfs mounted in the test's private mount namespace.

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "core/HostsText.h"
#include "core/ListEditor.h"
#include "core/PrefsFormat.h"
#include "fakes/FakePlatform.h"
#include "fault/Fault.h"
#include "hosts/HostsFile.h"
#include "platform/linux/PosixFileSystem.h"
#include "prefs/Preferences.h"

namespace tessel::fault {
namespace {

using fakes::FakeMessageBox;
using fakes::FakeProcess;
using fakes::ProgramEnded;
using platform::Answer;
using platform::PosixFileSystem;

constexpr const char* kNoSpace = "No space left on device";

// A user's own HOSTS file: LF line ends and no final line break, as editors often leave it.
const std::string kUserHosts =
    "127.0.0.1 localhost\n::1 localhost ip6-localhost\n10.1.2.3 printer.lan\n# own line";

std::string bigList(int names) {
    std::string list;
    char line[64];
    for (int i = 0; i < names; ++i) {
        std::snprintf(line, sizeof line, "ad%05d.full-disk.example\r\n", i);
        list += line;
    }
    return list;
}

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        if (!privateMounts) {
            GTEST_SKIP() << "needs root and a private mount namespace";
        }
        roomy = makeScratch("fulldisk");
        ASSERT_FALSE(roomy.empty());
        small = roomy + "/small";
        ASSERT_EQ(::mkdir(small.c_str(), 0755), 0);
        ASSERT_TRUE(mountTmpfs(small, "64k")) << "cannot mount a tmpfs";
        mounted_.push_back(small);
    }
    void TearDown() override {
        for (auto it = mounted_.rbegin(); it != mounted_.rend(); ++it) {
            ::umount2(it->c_str(), MNT_DETACH);
        }
        if (!roomy.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(roomy, ignored);
        }
    }

    // The program directory: its data/ on the small disk or on the roomy one.
    std::string makeProgramDir(const std::string& where, const std::string& list) {
        const std::string dir = where + "/program";
        EXPECT_EQ(::mkdir(dir.c_str(), 0755), 0);
        EXPECT_EQ(::mkdir((dir + "/data").c_str(), 0755), 0);
        put(dir + "/data/badHosts.dat", list);
        put(dir + "/data/prefs.dat",
            dir + "/data/gray.gif\r\n/etc/hosts\r\n80\r\n80\r\nkeepHostsFile: True\r\n");
        process.directory = dir;
        return dir;
    }

    void bindOver(const std::string& source, const std::string& target) {
        put(target, "covered\n");
        ASSERT_EQ(::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr), 0);
        mounted_.push_back(target);
    }

    std::string roomy;
    std::string small;
    PosixFileSystem files;
    FakeMessageBox box;
    FakeProcess process;

private:
    std::vector<std::string> mounted_;
};

// --- badHosts.dat ------------------------------------------------------------------------------

// A list larger than the whole disk: the temporary file runs out of room, not the old list.
TEST_F(FullDisk, ListLargerThanTheDiskFailsAndKeepsTheOldList) {
    const std::string dir = makeProgramDir(small, "ad.example\r\n");
    const std::string listFile = dir + "/data/badHosts.dat";
    const auto status = files.writeFile(listFile, bigList(5000));
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error(), kNoSpace);
    EXPECT_TRUE(holds(listFile, "ad.example\r\n"));
    EXPECT_TRUE(temporaries(dir + "/data").empty());
}

// --- the HOSTS file ----------------------------------------------------------------------------

// The list is on a roomy disk, the HOSTS file on the small one, and the list's block does not fit.
class FullDiskHosts : public FullDisk {
protected:
    void SetUp() override {
        FullDisk::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        makeProgramDir(roomy, bigList(5000));
        hostsPath = small + "/hosts";
        put(hostsPath, kUserHosts);
    }

    hosts::HostsFile hostsFile() {
        return hosts::HostsFile(box, files, process, [this] { ++recreations; });
    }

    std::string hostsPath;
    int recreations = 0;
};

TEST_F(FullDiskHosts, KeepModeAppendFailsReportsAndEnds) {
    auto writer = hostsFile();
    EXPECT_THROW(writer.makeHostsFile(hostsPath, true), ProgramEnded);
    ASSERT_EQ(box.prompts().size(), 1U);
    EXPECT_EQ(box.prompts()[0], std::string("Error appending to your existing HOSTS file: ") +
                                    kNoSpace + "\r\nExiting Tessel.");
    EXPECT_TRUE(holds(hostsPath, kUserHosts));
    EXPECT_TRUE(temporaries(small).empty());
}

TEST_F(FullDiskHosts, ReplaceModeWriteFailsAndReports) {
    box.answers.push_back(Answer::No);  // do not recreate prefs.dat
    auto writer = hostsFile();
    writer.makeHostsFile(hostsPath, false);
    ASSERT_EQ(box.prompts().size(), 1U);
    EXPECT_TRUE(box.prompts()[0].starts_with(std::string("Error creating HOSTS file: ") + kNoSpace +
                                             ".\r\n"))
        << box.prompts()[0];
    EXPECT_EQ(recreations, 0);
    EXPECT_EQ(process.ended, 0);
    EXPECT_TRUE(holds(hostsPath, kUserHosts));
    EXPECT_TRUE(temporaries(small).empty());
}

// The HOSTS file lives on the small disk but is bind-mounted over a path in a roomy directory, as
// containers mount /etc/hosts: the temporary file beside the mount point fits, the rename is
// refused, and the rewrite in place must not give up the old bytes when the disk then runs out.
TEST_F(FullDiskHosts, BindMountedKeepModeAppendFailsAndKeepsTheOldFile) {
    const std::string etc = roomy + "/etc";
    ASSERT_EQ(::mkdir(etc.c_str(), 0755), 0);
    bindOver(hostsPath, etc + "/hosts");
    auto writer = hostsFile();
    EXPECT_THROW(writer.makeHostsFile(etc + "/hosts", true), ProgramEnded);
    ASSERT_EQ(box.prompts().size(), 1U);
    EXPECT_EQ(box.prompts()[0], std::string("Error appending to your existing HOSTS file: ") +
                                    kNoSpace + "\r\nExiting Tessel.");
    EXPECT_TRUE(holds(hostsPath, kUserHosts));
    EXPECT_TRUE(temporaries(small).empty());
    EXPECT_TRUE(temporaries(etc).empty());
}

TEST_F(FullDiskHosts, BindMountedReplaceModeWriteFailsAndKeepsTheOldFile) {
    const std::string etc = roomy + "/etc";
    ASSERT_EQ(::mkdir(etc.c_str(), 0755), 0);
    bindOver(hostsPath, etc + "/hosts");
    box.answers.push_back(Answer::No);
    auto writer = hostsFile();
    writer.makeHostsFile(etc + "/hosts", false);
    ASSERT_EQ(box.prompts().size(), 1U);
    EXPECT_TRUE(box.prompts()[0].starts_with(std::string("Error creating HOSTS file: ") + kNoSpace))
        << box.prompts()[0];
    EXPECT_TRUE(holds(hostsPath, kUserHosts));
    EXPECT_TRUE(temporaries(etc).empty());
}

// At exit on a disk that has filled up since the start: the restore either gives the user's file
// back exactly or reports and ends with the file as it was; never a file cut short.
TEST_F(FullDiskHosts, KeepModeRestoreOnAFullDiskNeverCutsTheFile) {
    const std::string withBlock = kUserHosts + hosts::keepModeBlock("ad.example\r\nx.example\r\n");
    put(hostsPath, withBlock);
    ASSERT_GT(fill(small), 0);
    auto writer = hostsFile();
    bool ended = false;
    try {
        writer.giveBackHostsFile(hostsPath, true);
    } catch (const ProgramEnded&) {
        ended = true;
    }
    std::printf("restore on a full disk: %s\n", ended ? "reported and ended" : "restored");
    if (ended) {
        ASSERT_EQ(box.prompts().size(), 1U);
        EXPECT_EQ(box.prompts()[0], std::string("Error removing text from HOSTS file: ") +
                                        kNoSpace + "\r\nExiting anyway.");
        EXPECT_TRUE(holds(hostsPath, withBlock));
    } else {
        EXPECT_TRUE(box.shown.empty());
        EXPECT_TRUE(holds(hostsPath, kUserHosts));
    }
    EXPECT_TRUE(temporaries(small).empty());
}

TEST_F(FullDiskHosts, BindMountedKeepModeRestoreOnAFullDiskNeverCutsTheFile) {
    const std::string etc = roomy + "/etc";
    ASSERT_EQ(::mkdir(etc.c_str(), 0755), 0);
    const std::string withBlock = kUserHosts + hosts::keepModeBlock("ad.example\r\nx.example\r\n");
    put(hostsPath, withBlock);
    bindOver(hostsPath, etc + "/hosts");
    ASSERT_GT(fill(small), 0);
    auto writer = hostsFile();
    bool ended = false;
    try {
        writer.giveBackHostsFile(etc + "/hosts", true);
    } catch (const ProgramEnded&) {
        ended = true;
    }
    std::printf("restore of a bind-mounted file on a full disk: %s\n",
                ended ? "reported and ended" : "restored");
    EXPECT_TRUE(holds(hostsPath, ended ? withBlock : kUserHosts));
    EXPECT_TRUE(temporaries(etc).empty());
}

}  // namespace
}  // namespace tessel::fault
