// PosixFileSystem on real files, each case in a scratch directory of its own under /tmp. Writes
// with their owners, syncs, faults and kills are in tests/fault.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>
#include <thread>
#include <tuple>

#include "fault/Fault.h"
#include "platform/linux/PosixFileSystem.h"

namespace tessel::fault {
namespace {

using platform::PosixFileSystem;

std::string errorOf(const platform::Status& status) {
    return status.ok() ? "ok" : status.error();
}

// Distributions keep /etc/hosts as a link into a managed directory: it stays a link, and every
// kind of write, the ownership given and removal go to its target.
TEST(PosixFileSystem, SymbolicLinkStaysALink) {
    Scratch s;
    const std::string real = s / "hosts.real", link = s / "hosts";
    put(real, "old\r\n");
    ASSERT_EQ(::symlink("hosts.real", link.c_str()), 0);
    PosixFileSystem files;
    EXPECT_TRUE(files.writeFile(link, "a").ok() && files.writePieces(link, inPieces("b", 1)).ok());
    EXPECT_TRUE(files.writeFile(link, "new\r\n", {::geteuid(), ::getegid(), 0604}).ok());
    EXPECT_EQ(files.readFile(link).bytes, "new\r\n");
    EXPECT_EQ(files.ownership(real).value_or(platform::Ownership{}).mode, 0604U);
    EXPECT_EQ(entries(s.dir), (std::set<std::string>{"hosts", "hosts.real"}));
    EXPECT_TRUE(files.removeFile(link).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_FALSE(std::filesystem::exists(real));
}

// Only a visible regular file is found, not our own temporaries nor a directory. A failed read or
// write gives the system's description, tells a missing file from others, and changes nothing;
// a read never passes off part of a file, or none, as all of it. A file that reports no size (a
// pipe here, as files in /proc) is still read to its end.
TEST(PosixFileSystem, FindsReadsAndReportsFailures) {
    Scratch s;
    put(s / "hosts", "x");
    put(s / ".hidden", "x");
    ASSERT_EQ(::mkdir((s / "sub").c_str(), 0755), 0);
    put(s / "sub/.tessel-abc", "x");
    ASSERT_EQ(::symlink("hosts", (s / "link").c_str()) + ::mkfifo((s / "pipe").c_str(), 0600), 0);
    const std::string kLong(100'000, 'p');
    std::thread writer([&] { put(s / "pipe", kLong); });
    const char* kMissing = "No such file or directory";
    const std::tuple<std::string, bool, std::string> rows[] = {
        {s / "hosts", true, "x"},
        {s / "link", true, "x"},
        {s / ".hidden", false, "x"},
        {s / "sub/.tessel-abc", false, "x"},
        {s / "sub", false, "Is a directory"},
        {s / "sub/", false, "Is a directory"},
        {s / "absent", false, kMissing},
        {"", false, kMissing},
        {s / "pipe", false, kLong}};
    PosixFileSystem files;
    for (const auto& [path, found, read] : rows) {
        SCOPED_TRACE(path);
        EXPECT_EQ(files.fileExists(path), found);
        const auto result = files.readFile(path);
        EXPECT_TRUE((result.ok() ? result.bytes : errorOf(result.status) + result.bytes) == read);
        EXPECT_EQ(result.missing, read == kMissing);
    }
    writer.join();
    EXPECT_EQ(errorOf(files.writeFile(s / "nowhere/hosts", "x")), kMissing);
    EXPECT_EQ(errorOf(files.writeFile(s / "sub", "x")), "Is a directory");
    EXPECT_EQ(entries(s.dir), (std::set<std::string>{"hosts", ".hidden", "sub", "link", "pipe"}));
}

// At start-up: only the names our temporaries get are deleted, and a rewrite in place that a kill
// cut short is finished from its redo copy (one for a file that is gone is dropped).
TEST(PosixFileSystem, RemoveLeftoversFinishesCutRewrites) {
    Scratch s;
    for (const char* name : {".tessel-a1B2c3", ".tessel-x", ".tessel-abcdefg", ".hidden"}) {
        put(s / name, "x");
    }
    std::filesystem::create_directory(s / ".tessel-dir999");
    put(s / "hosts", "torn old and ne");
    put(s / ".tessel-redo-hosts", "the whole new text\n");
    put(s / ".tessel-redo-gone", "x");
    PosixFileSystem().removeLeftovers(s.dir);
    EXPECT_EQ(entries(s.dir), (std::set<std::string>{".tessel-x", ".tessel-abcdefg", "hosts",
                                                     ".hidden", ".tessel-dir999"}));
    EXPECT_EQ(contentOf(s / "hosts"), "the whole new text\n");
}

// One file's leftovers: only its own redo copy is honoured, and only when it has the owner asked
// for; a copy named for another file beside it is never written into that file.
TEST(PosixFileSystem, RemoveLeftoversOfOneFileHonoursOnlyItsOwnCopy) {
    struct Row {
        const char* what;
        std::optional<unsigned> owner;
        const char* hosts;  // after
    };
    const Row rows[] = {
        {"a copy of another owner", ::geteuid() + 1, "torn"},
        {"a copy of the owner asked for", ::geteuid(), "whole"},
        {"any owner", std::nullopt, "whole"},
    };
    for (const Row& row : rows) {
        Scratch s;
        put(s / "hosts", "torn");
        put(s / ".tessel-redo-hosts", "whole");
        put(s / "shadow", "root:x");
        put(s / ".tessel-redo-shadow", "member::0");
        put(s / ".tessel-a1B2c3", "x");
        PosixFileSystem().removeLeftoversOf(s / "hosts", row.owner);
        const bool finished = contentOf(s / "hosts") == "whole";
        EXPECT_TRUE(contentOf(s / "hosts") == row.hosts && contentOf(s / "shadow") == "root:x" &&
                    std::filesystem::exists(s / ".tessel-redo-hosts") != finished &&
                    !std::filesystem::exists(s / ".tessel-a1B2c3"))
            << row.what;
    }
}

// A picture is read only when it is a regular file within its bound: a FIFO with no writer would
// hang the read, a device would fill memory.
TEST(PosixFileSystem, ReadsOnlyRegularFilesWithinTheirBound) {
    Scratch s;
    put(s / "small", std::string(16, 'p'));
    put(s / "large", std::string(17, 'p'));
    ASSERT_EQ(::mkfifo((s / "fifo").c_str(), 0600), 0);
    const std::pair<std::string, std::string> rows[] = {
        {s / "small", std::string(16, 'p')},         {s / "large", "File too large"},
        {s / "fifo", "not a regular file"},          {"/dev/zero", "not a regular file"},
        {s / "absent", "No such file or directory"},
    };
    for (const auto& [path, read] : rows) {
        const auto result = PosixFileSystem().readRegularFile(path, 16);
        EXPECT_EQ(result.ok() ? result.bytes : errorOf(result.status), read) << path;
    }
}

}  // namespace
}  // namespace tessel::fault
