#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "core/HostsText.h"
#include "fakes/FakePlatform.h"
#include "hosts/HostsFile.h"

using namespace tessel::fakes;
using tessel::hosts::HostsFile;

namespace {

// Memory paths only: nothing here reaches the machine's own HOSTS file.
const std::string kHosts = "/memory/etc/hosts";
const std::string kList = "/opt/tessel/data/badHosts.dat";
const std::string kUserFile = "192.168.0.2 printer\r\n127.0.0.1 localhost\r\n";
const std::string kUserMachine = "127.0.0.1 localhost\r\n";
// Larger than the pieces the writer hands on, so it goes out as a piece of its own.
const std::string kBigUserFile = [] {
    std::string file;
    while (file.size() <= std::size_t{1} << 20) {
        file += kUserFile;
    }
    return file;
}();
constexpr std::string_view kHeader =
    "#\r\n# Hosts file created by Tessel\r\n#\r\n\r\n# localhost: Needs to stay like this to "
    "work\r\n127.0.0.1   localhost\r\n\r\n# Other servers: These servers are directed "
    "towards\r\n# Tessel to be filtered. You must alter these from\r\n# within the Tessel "
    "program.\r\n\r\n";
constexpr std::string_view kBlockHead = "\r\n\r\n#Following lines created by Tessel:\r\n";
constexpr std::string_view kReducedHeader =
    "\r\n# localhost: Needs to stay like this to work\r\n127.0.0.1   localhost\r\n# Other "
    "servers: These servers are directed towards\r\n";

class HostsFileFixture {
protected:
    FakeMessageBox box;
    MemoryFileSystem files;
    FakeProcess process;
    int recreated = 0;
    HostsFile hosts{box, files, process, [this] { ++recreated; }};

    // Runs an operation the way the event loop would: an ended program is a result, not an error.
    bool endsProgram(const std::function<void()>& operation) {
        try {
            operation();
        } catch (const ProgramEnded&) {
            return true;
        }
        return false;
    }
    std::optional<std::string> hostsContent() const {
        const auto it = files.files.find(kHosts);
        return it == files.files.end() ? std::nullopt : std::optional(it->second);
    }
};

enum class Op { MakeReplace, MakeKeep, RestoreReplace, RestoreKeep };

struct FailureCase {
    const char* name;
    Op op;
    std::function<void(MemoryFileSystem&)> breakIt;
    std::string prompt;
    Buttons buttons;
    Answer answer;
    bool ended;
    bool recreated;
    std::string path = kHosts;
};

// Rows print as their names in test listings.
void PrintTo(const FailureCase& row, std::ostream* out) {
    *out << row.name;
}

class HostsFileFailure : public HostsFileFixture, public ::testing::TestWithParam<FailureCase> {};

TEST_P(HostsFileFailure, ShowsItsMessageAndLeavesHostsAlone) {
    const FailureCase& c = GetParam();
    files.files[kList] = "ads.example\r\n";
    files.files[kHosts] = kUserFile + tessel::hosts::keepModeBlock("ads.example\r\n");
    c.breakIt(files);
    const auto before = files.files;
    box.answers.push_back(c.answer);

    const bool ended = endsProgram([&] {
        switch (c.op) {
            case Op::MakeReplace:
                return (void)hosts.makeHostsFile(c.path, false);
            case Op::MakeKeep:
                return (void)hosts.makeHostsFile(c.path, true);
            case Op::RestoreReplace:
                return hosts.giveBackHostsFile(c.path, false);
            case Op::RestoreKeep:
                return hosts.giveBackHostsFile(c.path, true);
        }
    });

    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].prompt, c.prompt);
    EXPECT_EQ(box.shown[0].buttons, c.buttons);
    EXPECT_EQ(box.shown[0].icon, Icon::None);
    EXPECT_EQ(box.shown[0].title, "Tessel");
    EXPECT_EQ(ended, c.ended);
    EXPECT_EQ(process.ended, c.ended ? 1 : 0);
    EXPECT_EQ(recreated, c.recreated ? 1 : 0);
    const auto hostsNow = files.files.find(kHosts);
    const auto hostsBefore = before.find(kHosts);
    if (hostsBefore == before.end()) {
        EXPECT_EQ(hostsNow, files.files.end());
    } else {
        ASSERT_NE(hostsNow, files.files.end());
        EXPECT_EQ(hostsNow->second, hostsBefore->second);
    }
}

const std::string kCreateTail =
    ".\r\nYou either need to change your HOSTS path, or prefs.dat could\r\nbe corrupted. Do you "
    "want to recreate prefs.dat?";

const auto kNoList = [](MemoryFileSystem& f) { f.files.erase(kList); };
const auto kListDenied = [](MemoryFileSystem& f) { f.failRead.insert(kList); };
const auto kHostsMissing = [](MemoryFileSystem& f) { f.files.erase(kHosts); };
const auto kHostsDenied = [](MemoryFileSystem& f) { f.failRead.insert(kHosts); };
const auto kHostsFull = [](MemoryFileSystem& f) { f.failWrite.insert(kHosts); };
const auto kHostsLocked = [](MemoryFileSystem& f) { f.failRemove.insert(kHosts); };
const auto kNothing = [](MemoryFileSystem&) {};

INSTANTIATE_TEST_SUITE_P(
    Paths, HostsFileFailure,
    ::testing::Values(
        FailureCase{"ListMissingReplace", Op::MakeReplace, kNoList,
                    "Error opening badHosts.dat: No such file or directory", Buttons::Ok,
                    Answer::Ok, false, false},
        FailureCase{"ListDeniedKeep", Op::MakeKeep, kListDenied,
                    "Error opening badHosts.dat: Permission denied", Buttons::Ok, Answer::Ok, false,
                    false},
        FailureCase{"CreateFailsAnswerNo", Op::MakeReplace, kHostsFull,
                    "Error creating HOSTS file: No space left on device" + kCreateTail,
                    Buttons::YesNo, Answer::No, false, false},
        FailureCase{"CreateFailsAnswerYes", Op::MakeReplace, kHostsFull,
                    "Error creating HOSTS file: No space left on device" + kCreateTail,
                    Buttons::YesNo, Answer::Yes, false, true},
        FailureCase{"CreateEmptyPath", Op::MakeReplace, kNothing,
                    "Error creating HOSTS file: No space left on device" + kCreateTail,
                    Buttons::YesNo, Answer::No, false, false, ""},
        FailureCase{"AppendUnreadable", Op::MakeKeep, kHostsDenied,
                    "Error appending to your existing HOSTS file: Permission denied\r\nExiting "
                    "Tessel.",
                    Buttons::Ok, Answer::Ok, true, false},
        FailureCase{"AppendWriteFails", Op::MakeKeep, kHostsFull,
                    "Error appending to your existing HOSTS file: No space left on "
                    "device\r\nExiting Tessel.",
                    Buttons::Ok, Answer::Ok, true, false},
        FailureCase{"AppendEmptyPath", Op::MakeKeep, kNothing,
                    "Error appending to your existing HOSTS file: No space left on "
                    "device\r\nExiting Tessel.",
                    Buttons::Ok, Answer::Ok, true, false, ""},
        FailureCase{"RemoveTextUnreadable", Op::RestoreKeep, kHostsDenied,
                    "Error removing text from HOSTS file: Permission denied\r\nExiting anyway.",
                    Buttons::Ok, Answer::Ok, true, false},
        FailureCase{"RemoveTextUnwritable", Op::RestoreKeep, kHostsFull,
                    "Error removing text from HOSTS file: No space left on device\r\nExiting "
                    "anyway.",
                    Buttons::Ok, Answer::Ok, true, false}),
    [](const auto& row) { return std::string(row.param.name); });

// A write in one mode and a restore in the mode in force later (the user may switch in between).
struct CycleCase {
    const char* name;
    std::optional<std::string> before;  // the HOSTS file before the write; nullopt: none
    bool writeKeep;
    bool restoreKeep;
    std::optional<std::string> after;  // nullopt: the file is gone
};

void PrintTo(const CycleCase& row, std::ostream* out) {
    *out << row.name;
}

class HostsFileCycle : public HostsFileFixture, public ::testing::TestWithParam<CycleCase> {};

TEST_P(HostsFileCycle, RestoreInTheModeInForce) {
    const CycleCase& c = GetParam();
    const std::string list = "ads.example\r\n\r\ntrack.example\n";
    files.files[kList] = list;
    if (c.before) {
        files.files[kHosts] = *c.before;
    }
    hosts.makeHostsFile(kHosts, c.writeKeep);
    const std::string written =
        c.writeKeep ? c.before.value_or("") + tessel::hosts::keepModeBlock(list)
                    : tessel::hosts::replaceModeText(list, c.before ? kUserMachine : "");
    EXPECT_EQ(hostsContent(), written);

    hosts.giveBackHostsFile(kHosts, c.restoreKeep);
    EXPECT_EQ(hostsContent(), c.after);
    EXPECT_TRUE(box.shown.empty()) << ::testing::PrintToString(box.prompts());
    EXPECT_EQ(process.ended, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, HostsFileCycle,
    ::testing::Values(
        CycleCase{"KeepThenKeep", kUserFile, true, true, kUserFile},
        CycleCase{"KeepBigFileThenKeep", kBigUserFile, true, true, kBigUserFile},
        CycleCase{"KeepCreatesMissingFile", std::nullopt, true, true, ""},
        CycleCase{"KeepThenReplaceGivesBackAsKept", kUserFile, true, false, kUserFile},
        CycleCase{"ReplaceThenReplaceDeletes", std::nullopt, false, false, std::nullopt},
        CycleCase{"ReplaceThenReplacePutsBack", kUserFile, false, false, kUserFile},
        CycleCase{"ReplaceThenKeepPutsBack", kUserFile, false, true, kUserFile}),
    [](const auto& row) { return std::string(row.param.name); });

class HostsFileRestore : public HostsFileFixture, public ::testing::Test {};

TEST_F(HostsFileRestore, FileWithoutBlockIsNotRewritten) {
    files.files[kHosts] = kUserFile;
    hosts.giveBackHostsFile(kHosts, true);
    EXPECT_EQ(files.writes, 0);
    EXPECT_EQ(files.files[kHosts], kUserFile);
    EXPECT_TRUE(box.shown.empty());
}

// No line limit: a list of a million names goes out whole in either mode and comes back out.
class HostsFileMillionNames : public HostsFileFixture, public ::testing::TestWithParam<bool> {};

TEST_P(HostsFileMillionNames, AreAllWritten) {
    const bool keep = GetParam();
    constexpr int kNames = 1'000'000;
    std::string list;
    for (int i = 0; i < kNames; ++i) {
        list += "ads" + std::to_string(i) + ".example.com\r\n";
    }
    files.files[kList] = list;
    files.files[kHosts] = kUserFile;
    hosts.makeHostsFile(kHosts, keep);

    const std::string& written = files.files[kHosts];
    const std::string head = keep ? kUserFile + std::string(kBlockHead)
                                  : tessel::hosts::replaceModeText("", kUserMachine);
    EXPECT_TRUE(written.starts_with(head));
    EXPECT_EQ(written.size(), head.size() + list.size() + kNames * std::size_t{12});
    EXPECT_TRUE(written.ends_with("\r\n127.0.0.1   ads999999.example.com\r\n"));
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'),
              std::count(head.begin(), head.end(), '\n') + kNames);

    hosts.giveBackHostsFile(kHosts, true);
    EXPECT_EQ(files.files[kHosts], kUserFile);
    EXPECT_TRUE(box.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, HostsFileMillionNames, ::testing::Values(false, true),
                         [](const auto& row) { return row.param ? "Keep" : "Replace"; });

}  // namespace
