#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <set>
#include <string>

#include "platform/linux/PosixFileSystem.h"

using tessel::platform::PosixFileSystem;

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
constexpr int kSkipped = 77;

// Every test works in its own directory under /tmp; the machine's HOSTS file is never involved.
class PosixFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tessel-fs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
    }

    std::string path(const std::string& name) const { return dir + "/" + name; }
    static std::string contentOf(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void put(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    static ino_t inodeOf(const std::string& file) {
        struct stat info {};
        EXPECT_EQ(::stat(file.c_str(), &info), 0);
        return info.st_ino;
    }
    static mode_t modeOf(const std::string& file) {
        struct stat info {};
        EXPECT_EQ(::stat(file.c_str(), &info), 0);
        return info.st_mode & 07777;
    }

    // Runs fn in a child process and returns its exit code: for work that changes the process
    // itself (user, limits, mount namespace) and must not leak into the other tests.
    static int inChild(const std::function<int()>& fn) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(fn());
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string dir;
    PosixFileSystem files;
};

class PosixFileSystemRoundTrip : public PosixFileSystemTest,
                                 public ::testing::WithParamInterface<std::string> {};

TEST_P(PosixFileSystemRoundTrip, ReadsBackWhatWasWrittenAndLeavesNoTemporary) {
    const std::string target = path("hosts");
    put(target, "an older and longer content\r\n" + std::string(300000, 'o'));
    ASSERT_TRUE(files.writeFile(target, GetParam()).ok());
    const auto read = files.readFile(target);
    ASSERT_TRUE(read.ok());
    EXPECT_FALSE(read.missing);
    EXPECT_EQ(read.bytes, GetParam());
    EXPECT_EQ(entries(), std::set<std::string>{"hosts"});
}

// The HOSTS writer hands its text over in pieces as it makes them.
TEST_P(PosixFileSystemRoundTrip, PiecesMakeTheSameFile) {
    const std::string target = path("hosts");
    const std::string_view bytes = GetParam();
    const tessel::text::Pieces pieces{bytes.size(), [bytes](const tessel::text::PieceSink& sink) {
                                          for (std::size_t at = 0; at < bytes.size(); at += 7000) {
                                              sink(bytes.substr(at, 7000));
                                          }
                                      }};
    put(target, "old\r\n");
    ASSERT_TRUE(files.writePieces(target, pieces).ok());
    EXPECT_EQ(contentOf(target), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Contents, PosixFileSystemRoundTrip,
                         ::testing::Values(std::string(), std::string("x"),
                                           std::string("127.0.0.1   a\r\n\0\xff", 17),
                                           std::string(200000, 'a') + "\r\n"));

class PosixFileSystemKeepsMode : public PosixFileSystemTest,
                                 public ::testing::WithParamInterface<mode_t> {};

TEST_P(PosixFileSystemKeepsMode, AcrossARewrite) {
    const std::string target = path("hosts");
    put(target, "old\r\n");
    ASSERT_EQ(::chmod(target.c_str(), GetParam()), 0);
    ASSERT_TRUE(files.writeFile(target, "new\r\n").ok());
    EXPECT_EQ(modeOf(target), GetParam());
    EXPECT_EQ(contentOf(target), "new\r\n");
}

INSTANTIATE_TEST_SUITE_P(Modes, PosixFileSystemKeepsMode,
                         ::testing::Values(0640, 0644, 0600, 0604, 0444));

// Replace mode deletes the file on every pause, so each resume creates it anew: a new file must be
// readable by everyone the umask allows, or name lookups of ordinary users stop seeing it.
TEST_F(PosixFileSystemTest, NewFileGetsTheUmaskMode) {
    const mode_t mask = ::umask(022);
    const std::string target = path("hosts");
    const auto status = files.writeFile(target, "x\r\n");
    ::umask(mask);
    ASSERT_TRUE(status.ok());
    EXPECT_EQ(modeOf(target), 0644u);
}

TEST_F(PosixFileSystemTest, KeepsOwner) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can hand a file to another owner";
    }
    const std::string target = path("hosts");
    put(target, "old\r\n");
    ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
    ASSERT_TRUE(files.writeFile(target, "new\r\n").ok());
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, kNobody);
    EXPECT_EQ(info.st_gid, kNobody);
}

// Distributions keep /etc/hosts as a link into a managed directory; the link must stay a link.
TEST_F(PosixFileSystemTest, WritesThroughASymbolicLink) {
    const std::string real = path("hosts.real");
    const std::string link = path("hosts");
    put(real, "old\r\n");
    ASSERT_EQ(::symlink("hosts.real", link.c_str()), 0);
    ASSERT_TRUE(files.writeFile(link, "new\r\n").ok());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(contentOf(real), "new\r\n");
    EXPECT_EQ(entries(), (std::set<std::string>{"hosts", "hosts.real"}));
    // Removal, and the ownership it is written back with, go through the link too.
    ASSERT_TRUE(files.writeFile(link, "back\r\n", {::geteuid(), ::getegid(), 0604}).ok());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::status(real).permissions(), fs::perms(0604));
    ASSERT_TRUE(files.removeFile(link).ok());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_FALSE(fs::exists(real));
}

// A directory the program may not create in, holding a HOSTS file it may write: the file is
// rewritten in place. Root ignores directory permissions, so the write runs as an ordinary user.
TEST_F(PosixFileSystemTest, ReadOnlyDirectoryWithWritableFileIsWrittenInPlace) {
    const std::string sub = path("ro");
    const std::string target = sub + "/hosts";
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    put(target, "old\r\n");
    const ino_t inode = inodeOf(target);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
        ASSERT_EQ(::chown(sub.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(::chmod(sub.c_str(), 0555), 0);
    const int code = inChild([&] {
        if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            return kSkipped;
        }
        return PosixFileSystem().writeFile(target, "new\r\n").ok() ? 0 : 1;
    });
    ::chmod(sub.c_str(), 0755);
    if (code == kSkipped) {
        GTEST_SKIP() << "cannot drop to an ordinary user here";
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(contentOf(target), "new\r\n");
    EXPECT_EQ(inodeOf(target), inode);
    EXPECT_EQ(fs::directory_iterator(sub)->path().filename(), "hosts");
}

// A HOSTS file bind-mounted over (as containers do) cannot be renamed over: it is rewritten in
// place. The mount lives in a private namespace of a child, so nothing outlives the test.
TEST_F(PosixFileSystemTest, BindMountedFileIsWrittenInPlace) {
    const std::string source = path("outside");
    const std::string target = path("hosts");
    put(source, "old\r\n");
    put(target, "covered\r\n");
    const int code = inChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            return kSkipped;
        }
        // The second write goes straight in place; both must land.
        PosixFileSystem mounted;
        const bool first = mounted.writeFile(target, "first\r\n").ok();
        const bool written = first && mounted.writeFile(target, "new\r\n").ok();
        return written && contentOf(target) == "new\r\n" ? 0 : 1;
    });
    if (code == kSkipped) {
        GTEST_SKIP() << "no mount namespace available to bind-mount a file";
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(contentOf(source), "new\r\n");
    EXPECT_EQ(contentOf(target), "covered\r\n");
    EXPECT_EQ(entries(), (std::set<std::string>{"hosts", "outside"}));
}

// A write that fails half-way (here: past the file size limit) leaves the old file and no debris.
TEST_F(PosixFileSystemTest, FailedWriteKeepsOldFileAndLeavesNoTemporary) {
    const std::string target = path("hosts");
    put(target, "old\r\n");
    const int code = inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto status = PosixFileSystem().writeFile(target, std::string(100000, 'x'));
        return !status.ok() && status.error() == "File too large" ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(contentOf(target), "old\r\n");
    EXPECT_EQ(entries(), std::set<std::string>{"hosts"});
}

// A file whose size is not known beforehand (a pipe here; /proc files report none) is read whole.
TEST_F(PosixFileSystemTest, ReadsFileOfUnknownSizeWhole) {
    const std::string pipe = path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string bytes(100000, 'p');
    const pid_t writer = ::fork();
    if (writer == 0) {
        put(pipe, bytes);
        ::_exit(0);
    }
    const auto read = files.readFile(pipe);
    ::waitpid(writer, nullptr, 0);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.bytes, bytes);
}

TEST_F(PosixFileSystemTest, WriteIntoMissingDirectoryFails) {
    const auto status = files.writeFile(path("nowhere/hosts"), "x\r\n");
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error(), "No such file or directory");
    EXPECT_TRUE(entries().empty());
}

TEST_F(PosixFileSystemTest, WriteOntoDirectoryFails) {
    ASSERT_EQ(::mkdir(path("hosts").c_str(), 0755), 0);
    const auto status = files.writeFile(path("hosts"), "x\r\n");
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error(), "Is a directory");
    EXPECT_EQ(entries(), std::set<std::string>{"hosts"});
}

struct ReadFailure {
    const char* name;
    bool makeDirectory;
    bool missing;
    const char* error;
};

// Rows print as their names in test listings.
void PrintTo(const ReadFailure& row, std::ostream* out) {
    *out << row.name;
}

class PosixFileSystemReadFails : public PosixFileSystemTest,
                                 public ::testing::WithParamInterface<ReadFailure> {};

TEST_P(PosixFileSystemReadFails, WithNoBytesAndTheRightKind) {
    if (GetParam().makeDirectory) {
        ASSERT_EQ(::mkdir(path("hosts").c_str(), 0755), 0);
    }
    const auto read = files.readFile(path("hosts"));
    EXPECT_FALSE(read.ok());
    EXPECT_EQ(read.missing, GetParam().missing);
    EXPECT_EQ(read.status.error(), GetParam().error);
    EXPECT_TRUE(read.bytes.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, PosixFileSystemReadFails,
                         ::testing::Values(ReadFailure{"Missing", false, true,
                                                       "No such file or directory"},
                                           ReadFailure{"Directory", true, false, "Is a directory"}),
                         [](const auto& row) { return std::string(row.param.name); });

struct ExistsCase {
    const char* name;
    std::string query;  // relative to the test directory; "" is the empty path itself
    bool found;
};

void PrintTo(const ExistsCase& row, std::ostream* out) {
    *out << row.name;
}

class PosixFileSystemExists : public PosixFileSystemTest,
                              public ::testing::WithParamInterface<ExistsCase> {};

TEST_P(PosixFileSystemExists, OnlyVisibleRegularFilesAreFound) {
    put(path("hosts"), "x");
    put(path(".hidden"), "x");
    ASSERT_EQ(::mkdir(path("sub").c_str(), 0755), 0);
    put(path("sub/.tessel-abc"), "x");
    ASSERT_EQ(::symlink("hosts", path("link").c_str()), 0);
    const std::string query = GetParam().query.empty() ? "" : path(GetParam().query);
    EXPECT_EQ(files.fileExists(query), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(Names, PosixFileSystemExists,
                         ::testing::Values(ExistsCase{"Visible", "hosts", true},
                                           ExistsCase{"Hidden", ".hidden", false},
                                           ExistsCase{"HiddenInSub", "sub/.tessel-abc", false},
                                           ExistsCase{"Directory", "sub", false},
                                           ExistsCase{"TrailingSlash", "sub/", false},
                                           ExistsCase{"Missing", "absent", false},
                                           ExistsCase{"EmptyPath", "", false},
                                           ExistsCase{"LinkToFile", "link", true}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace

TEST_F(PosixFileSystemTest, RemovesOnlyTheTemporariesAKilledWriteLeft) {
    for (const char* name :
         {".tessel-a1B2c3", ".tessel-x", ".tessel-abcdefg", "hosts", ".hidden"}) {
        put(path(name), "x");
    }
    fs::create_directory(path(".tessel-dir999"));
    // A rewrite in place cut short: its file is finished from the redo copy; one for a file
    // that is gone is dropped.
    put(path("hosts"), "torn old and ne");
    put(path(".tessel-redo-hosts"), "the whole new text\n");
    put(path(".tessel-redo-gone"), "x");
    files.removeLeftovers(dir);
    EXPECT_EQ(entries(), (std::set<std::string>{".tessel-x", ".tessel-abcdefg", "hosts", ".hidden",
                                                ".tessel-dir999"}));
    EXPECT_EQ(contentOf(path("hosts")), "the whole new text\n");
}
