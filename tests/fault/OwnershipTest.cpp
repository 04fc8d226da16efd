// Owner and permissions survive every rewrite: a replaced file is a new inode, so the writer must
// carry both over from the old one. Checked for prefs.dat, badHosts.dat and the HOSTS file through
// the classes that write them, on an ordinary directory and on a bind-mounted HOSTS file.

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "core/ListEditor.h"
#include "fakes/FakePlatform.h"
#include "fault/Fault.h"
#include "hosts/HostsFile.h"
#include "platform/linux/PosixFileSystem.h"
#include "prefs/Preferences.h"

namespace tessel::fault {
namespace {

using fakes::FakeMessageBox;
using fakes::FakeProcess;
using platform::PosixFileSystem;

constexpr uid_t kUser = 1234;
constexpr gid_t kGroup = 1235;

struct Owner final {
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;
    ino_t inode = 0;
    bool operator==(const Owner& other) const {
        return uid == other.uid && gid == other.gid && mode == other.mode;
    }
};

void PrintTo(const Owner& owner, std::ostream* out) {
    *out << "uid " << owner.uid << " gid " << owner.gid << " mode 0" << std::oct << owner.mode
         << std::dec;
}

Owner ownerOf(const std::string& file) {
    struct stat info {};
    EXPECT_EQ(::stat(file.c_str(), &info), 0) << file;
    return {info.st_uid, info.st_gid, info.st_mode & 07777, info.st_ino};
}

void give(const std::string& file, mode_t mode) {
    ASSERT_EQ(::chown(file.c_str(), kUser, kGroup), 0);
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
}

class Ownership : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root to hand files to another user";
        }
        dir = makeScratch("owner");
        ASSERT_FALSE(dir.empty());
        ASSERT_EQ(::mkdir((dir + "/data").c_str(), 0755), 0);
        prefsFile = dir + "/data/prefs.dat";
        listFile = dir + "/data/badHosts.dat";
        hostsPath = dir + "/hosts";
        put(prefsFile,
            dir + "/data/gray.gif\r\n" + hostsPath + "\r\n80\r\n80\r\nkeepHostsFile: True\r\n");
        put(listFile, "ad.example\r\ntrack.example\r\n");
        put(hostsPath, "127.0.0.1 localhost\n");
        process.directory = dir;
    }
    void TearDown() override {
        if (!mount_.empty()) {
            ::umount2(mount_.c_str(), MNT_DETACH);
        }
        if (!dir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        }
    }
    void bindHosts() {
        if (!privateMounts) {
            GTEST_SKIP() << "needs a private mount namespace";
        }
        const std::string source = dir + "/hosts.outside";
        ::rename(hostsPath.c_str(), source.c_str());
        put(hostsPath, "covered\n");
        ASSERT_EQ(::mount(source.c_str(), hostsPath.c_str(), nullptr, MS_BIND, nullptr), 0);
        mount_ = hostsPath;
    }

    std::string dir, prefsFile, listFile, hostsPath;
    PosixFileSystem files;
    FakeMessageBox box;
    FakeProcess process;

private:
    std::string mount_;
};

TEST_F(Ownership, PrefsRewritesKeepOwnerAndMode) {
    give(prefsFile, 0640);
    const Owner before = ownerOf(prefsFile);
    prefs::Preferences prefs(box, files, process, nullptr);
    bool keep = true;
    prefs.outputPicturePath(dir + "/data/black.gif", prefsFile);
    // The new file was made while the old one still existed, so it is another inode: the owner and
    // mode were carried over, not merely left in place.
    EXPECT_NE(ownerOf(prefsFile).inode, before.inode);
    EXPECT_EQ(ownerOf(prefsFile), before);
    prefs.outputHostsPath("/etc/hosts", prefsFile);
    prefs.outputBooKeepHostsFile(false, prefsFile, keep);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(ownerOf(prefsFile), before);
    EXPECT_TRUE(contentOf(prefsFile).ends_with("keepHostsFile: False\r\n"));
}

TEST_F(Ownership, ListSaveKeepsOwnerAndMode) {
    give(listFile, 0604);
    const Owner before = ownerOf(listFile);
    const auto status = files.writeFile(listFile, hosts::savedList("ad.example\r\nnew.example"));
    ASSERT_TRUE(status.ok()) << status.error();
    EXPECT_EQ(ownerOf(listFile), before);
}

TEST_F(Ownership, HostsKeepModeCycleKeepsOwnerAndMode) {
    give(hostsPath, 0644);
    const Owner before = ownerOf(hostsPath);
    hosts::HostsFile writer(box, files, process, nullptr);
    writer.makeHostsFile(hostsPath, true);
    EXPECT_EQ(ownerOf(hostsPath), before);
    writer.giveBackHostsFile(hostsPath, true);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(ownerOf(hostsPath), before);
    EXPECT_EQ(contentOf(hostsPath), "127.0.0.1 localhost\n");
}

TEST_F(Ownership, HostsReplaceModeKeepsTheReplacedFilesOwnerAndMode) {
    give(hostsPath, 0640);
    const Owner before = ownerOf(hostsPath);
    hosts::HostsFile writer(box, files, process, nullptr);
    writer.makeHostsFile(hostsPath, false);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(ownerOf(hostsPath), before);
}

TEST_F(Ownership, BindMountedHostsKeepsOwnerAndMode) {
    bindHosts();
    if (IsSkipped()) {
        return;
    }
    give(hostsPath, 0640);
    const Owner before = ownerOf(hostsPath);
    hosts::HostsFile writer(box, files, process, nullptr);
    writer.makeHostsFile(hostsPath, true);
    EXPECT_EQ(ownerOf(hostsPath), before);
    writer.giveBackHostsFile(hostsPath, true);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(ownerOf(hostsPath), before);
    EXPECT_EQ(ownerOf(hostsPath).inode, before.inode);
}

}  // namespace
}  // namespace tessel::fault
