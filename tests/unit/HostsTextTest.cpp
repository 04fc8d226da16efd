#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "core/HostsText.h"
#include "core/SavedHosts.h"

using namespace tessel::hosts;

namespace {

// The bytes the machine's resolver sees, written out by hand so that a change to the writer shows.
constexpr std::string_view kHeader =
    "#\r\n"
    "# Hosts file created by Tessel\r\n"
    "#\r\n"
    "\r\n"
    "# localhost: Needs to stay like this to work\r\n"
    "127.0.0.1   localhost\r\n"
    "\r\n"
    "# Other servers: These servers are directed towards\r\n"
    "# Tessel to be filtered. You must alter these from\r\n"
    "# within the Tessel program.\r\n"
    "\r\n";
constexpr std::string_view kBlockHead = "\r\n\r\n#Following lines created by Tessel:\r\n";
constexpr std::string_view kReducedHeader =
    "\r\n# localhost: Needs to stay like this to work\r\n"
    "127.0.0.1   localhost\r\n"
    "# Other servers: These servers are directed towards\r\n";

struct WriterCase {
    const char* name;
    std::string list;
    std::string entries;
};

// Rows print as their names in test listings.
void PrintTo(const WriterCase& row, std::ostream* out) {
    *out << row.name;
}

class HostsTextWriter : public ::testing::TestWithParam<WriterCase> {};

TEST_P(HostsTextWriter, ReplaceModeIsHeaderThenEntries) {
    EXPECT_EQ(replaceModeText(GetParam().list), std::string(kHeader) + GetParam().entries);
}

TEST_P(HostsTextWriter, KeepModeIsBlockHeadThenEntries) {
    EXPECT_EQ(keepModeBlock(GetParam().list), std::string(kBlockHead) + GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, HostsTextWriter,
    ::testing::Values(WriterCase{"Empty", "", ""}, WriterCase{"OnlyLineEnds", "\r\n\n\r\n", ""},
                      WriterCase{"NoFinalLineEnd", "ads.example", "127.0.0.1   ads.example\r\n"},
                      WriterCase{"CrLf", "a.example\r\nb.example\r\n",
                                 "127.0.0.1   a.example\r\n127.0.0.1   b.example\r\n"},
                      WriterCase{"Lf", "a.example\nb.example\n",
                                 "127.0.0.1   a.example\r\n127.0.0.1   b.example\r\n"},
                      WriterCase{"MixedLineEnds", "a\r\nb\nc",
                                 "127.0.0.1   a\r\n127.0.0.1   b\r\n127.0.0.1   c\r\n"},
                      WriterCase{"EmptyLinesGiveNoEntry", "\r\n\r\na\r\n\r\n\nb\n\n",
                                 "127.0.0.1   a\r\n127.0.0.1   b\r\n"},
                      WriterCase{"BlankLineKeepsItsBlanks", "   \r\n\t\n",
                                 "127.0.0.1      \r\n127.0.0.1   \t\r\n"},
                      WriterCase{"DuplicatesKept", "a\r\na\r\na",
                                 "127.0.0.1   a\r\n127.0.0.1   a\r\n127.0.0.1   a\r\n"},
                      WriterCase{"LoneCrStaysInName", "a\rb\r\nc\r",
                                 "127.0.0.1   a\rb\r\n127.0.0.1   c\r\r\n"},
                      WriterCase{"CommentLineCarried", "# ads\r\n", "127.0.0.1   # ads\r\n"}),
    [](const auto& row) { return std::string(row.param.name); });

// User files the restore must give back byte for byte, and lists to append to them.
const std::vector<std::string> kUserFiles = {
    "",
    "127.0.0.1   localhost\r\n",
    "127.0.0.1 localhost\n::1 localhost\n192.168.0.2 printer\n",
    "192.168.0.2 printer",
    "127.0.0.1   myserver\r\n127.0.0.1 other\r\n",
    "\r\n\r\n\r\n",
    "#\r\n# x\r\n",
    "# Tessel was here\r\n10.0.0.1 tessel.lan Tessel\r\n",
    "10.0.0.1 a\r\n\r\n",
    "\r",
    "10.0.0.1 a\r",
    "  \r\n\t\r\n",
    "192.168.0.2 printer\r\n#\r\n# Hosts file created by Tessel\r\n",
    "#Following lines created by Tessel\r\n",
    "127.0.0.1   a.example\r\n",
};
const std::vector<std::string> kLists = {
    "",
    "ads.example\r\n",
    "a.example\nb.example\n\n  \nc.example",
    "a.localhost.example\r\n",
    "#Following lines created by Tessel:\r\n",
    "127.0.0.1   nested\r\n",
    "x\r",
};

class HostsTextRoundTrip : public ::testing::TestWithParam<std::tuple<std::string, std::string>> {
protected:
    const std::string& user() const { return std::get<0>(GetParam()); }
    const std::string& list() const { return std::get<1>(GetParam()); }
};

TEST_P(HostsTextRoundTrip, RestoreGivesBackTheUserFile) {
    EXPECT_EQ(restoreKeepMode(user() + keepModeBlock(list())), user());
}

TEST_P(HostsTextRoundTrip, RepeatedCyclesNeverGrowTheFile) {
    std::string file = user();
    for (int cycle = 0; cycle < 4; ++cycle) {
        const auto restored = restoreKeepMode(file + keepModeBlock(list()));
        ASSERT_TRUE(restored.has_value());
        file = *restored;
    }
    EXPECT_EQ(file, user());
}

TEST_P(HostsTextRoundTrip, EveryBlockOfSeveralWritesIsRemoved) {
    const std::string file =
        user() + keepModeBlock(list()) + keepModeBlock("other.example\r\n") + keepModeBlock(list());
    EXPECT_EQ(restoreKeepMode(file), user());
}

INSTANTIATE_TEST_SUITE_P(UserFilesAndLists, HostsTextRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kUserFiles),
                                            ::testing::ValuesIn(kLists)));

// A file written in replace mode and restored after a switch to keep mode.
class HostsTextReplaceFileInKeepMode : public ::testing::TestWithParam<std::string> {};

TEST_P(HostsTextReplaceFileInKeepMode, KeepsThreeHeaderLines) {
    EXPECT_EQ(restoreKeepMode(replaceModeText(GetParam())), kReducedHeader);
}

INSTANTIATE_TEST_SUITE_P(Lists, HostsTextReplaceFileInKeepMode,
                         ::testing::Values("", "ads.example\r\n", "a\nb\n\nc", "# Tessel\r\n",
                                           "   \r\n"));

class HostsTextNoBlock : public ::testing::TestWithParam<std::string> {};

TEST_P(HostsTextNoBlock, FileIsLeftAlone) {
    EXPECT_FALSE(restoreKeepMode(GetParam()).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostsTextNoBlock,
    ::testing::Values("", "127.0.0.1   localhost\r\n", "127.0.0.1   ads.example\r\n",
                      "x\r\n#Following lines created by Tessel:\r\n127.0.0.1   a\r\n",
                      "\n\n#Following lines created by Tessel:\n127.0.0.1   a\n",
                      "\r\n\r\n#Following lines created by Tessel\r\n",
                      "#\r\n# Hosts file created by Tessel, or so it says\r\n",
                      // A leftover whose header the user edited is theirs, not filtered.
                      "#\r\n# Hosts file created by Tessel\r\n#\r\n127.0.0.1 mine\r\n"));

struct MachineCase {
    const char* name;
    std::string original;
    std::string kept;
};

void PrintTo(const MachineCase& row, std::ostream* out) {
    *out << row.name;
}

class HostsTextMachineLines : public ::testing::TestWithParam<MachineCase> {};

// The lines that keep the machine's own names resolving while the file is replaced.
TEST_P(HostsTextMachineLines, KeepsWhatNamesThisMachineAndNoListedServer) {
    EXPECT_EQ(machineLines(GetParam().original, "Box.lan", "ads.example\r\nTRACK.example\n"),
              GetParam().kept);
    const std::string written = replaceModeText("ads.example\r\n", GetParam().kept);
    EXPECT_EQ(carriedMachineLines(written), GetParam().kept);
    EXPECT_TRUE(isReplaceModeFile(written) && isHostsText(written));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostsTextMachineLines,
    ::testing::Values(
        MachineCase{"Debian",
                    "127.0.0.1\tlocalhost\n127.0.1.1\tbox.lan\tbox\n\n"
                    "::1 localhost ip6-localhost ip6-loopback\nff02::1 ip6-allnodes\n",
                    "127.0.0.1\tlocalhost\r\n127.0.1.1\tbox.lan\tbox\r\n"
                    "::1 localhost ip6-localhost ip6-loopback\r\n"},
        MachineCase{"EveryFormOfLocalhost", "::1 ip6-loopback\r\n127.0.0.1 localhost.localdomain",
                    "::1 ip6-loopback\r\n127.0.0.1 localhost.localdomain\r\n"},
        MachineCase{"HostNameWithAnotherDomain", "10.0.0.5 BOX.office.example # me\n",
                    "10.0.0.5 BOX.office.example # me\r\n"},
        MachineCase{"ListedServersLoseTheirAddress", "127.0.1.1 box ads.example Track.Example\n",
                    "127.0.1.1 box\r\n"},
        MachineCase{"OnlyListedNamesLeft", "127.0.0.1 localhost\n10.0.0.1 ads.example\n",
                    "127.0.0.1 localhost\r\n"},
        MachineCase{"NotThisMachine", "10.0.0.2 boxer printer # localhost\n#127.0.0.1 localhost\n",
                    ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(HostsTextIsHosts, LinesOfAddressesAndNamesOnly) {
    for (const char* hosts : {"", "\n# c\n  \t\n", "127.0.0.1 a b # c\r\n::1\tlocalhost",
                              "fe80::1%eth0 x\n::ffff:10.0.0.1 y\n255.255.255.255 z"}) {
        EXPECT_TRUE(isHostsText(hosts)) << hosts;
    }
    for (const char* other : {"root:x:0:0:root:/root:/bin/sh\n", "127.0.0.1\n", "256.0.0.1 a",
                              "1.2.3 a", "1.2.3.4.5 a", "x:y z", "::g a", "[global]\nkey = 1"}) {
        EXPECT_FALSE(isHostsText(other)) << other;
    }
}

TEST(HostsTextSaved, ComesBackWholeOrNotAtAll) {
    const SavedHosts saved{"/etc/hosts", true, 0, 4, 0604, "127.0.0.1 localhost\n"};
    const std::string record = formatSavedHosts(saved);
    const auto back = parseSavedHosts(record);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(
        std::tie(back->hostsPath, back->existed, back->owner, back->group, back->mode, back->bytes),
        std::tie(saved.hostsPath, saved.existed, saved.owner, saved.group, saved.mode,
                 saved.bytes));
    for (std::size_t cut = 0; cut < record.size(); ++cut) {
        EXPECT_FALSE(parseSavedHosts(record.substr(0, cut)).has_value()) << cut;
    }
    EXPECT_FALSE(parseSavedHosts(record + "x").has_value());
}

}  // namespace
