#include <gtest/gtest.h>

#include "core/PrefsFormat.h"
#include "fakes/FakePlatform.h"
#include "prefs/Preferences.h"

using namespace tessel;
using namespace tessel::prefs;
using platform::Answer;

namespace {

const std::string kFile = "/opt/tessel/data/prefs.dat";
const std::string kFive = "pic\r\nhosts\r\n80\r\n80\r\nkeepHostsFile: True\r\n";

struct Fixture {
    fakes::FakeMessageBox box;
    fakes::MemoryFileSystem files;
    fakes::FakeProcess process;
    int trayRemoved = 0;
    Preferences prefs{box, files, process, [this] { ++trayRemoved; }};

    Fixture() { process.directory = "/opt/tessel"; }
    template <typename Fn>
    bool ends(Fn&& fn) {
        try {
            fn();
        } catch (const fakes::ProgramEnded&) {
            return true;
        }
        return false;
    }
};

}  // namespace

struct KeepRow {
    std::string line5;
    KeepSetting setting;
};
inline void PrintTo(const KeepRow& row, std::ostream* out) {
    *out << '"' << row.line5 << '"';
}

class ParseKeep : public ::testing::TestWithParam<KeepRow> {};

TEST_P(ParseKeep, ValueFollowsTheFirstFifteenCharactersExactly) {
    EXPECT_EQ(parseKeep(GetParam().line5), GetParam().setting) << GetParam().line5;
}

INSTANTIATE_TEST_SUITE_P(Values, ParseKeep,
                         ::testing::Values(KeepRow{"keepHostsFile: True", KeepSetting::Keep},
                                           KeepRow{"keepHostsFile: False", KeepSetting::Replace},
                                           KeepRow{"keepHostsFile: NotSet", KeepSetting::NotSet},
                                           KeepRow{"keepHostsFile: true", KeepSetting::NotSet},
                                           KeepRow{"keepHostsFile: True ", KeepSetting::NotSet},
                                           KeepRow{"XXXXXXXXXXXXXXXFalse", KeepSetting::Replace},
                                           KeepRow{"keepHostsFile:True", KeepSetting::NotSet},
                                           KeepRow{"short", KeepSetting::NotSet},
                                           KeepRow{"", KeepSetting::NotSet}));

struct RewriteRow {
    std::string name;
    std::string before;
    int line;
    std::optional<std::string> after;
};
inline void PrintTo(const RewriteRow& row, std::ostream* out) {
    *out << row.name;
}

class RewriteLine : public ::testing::TestWithParam<RewriteRow> {};

TEST_P(RewriteLine, ReplacesOneLineAndCopiesTheOthers) {
    EXPECT_EQ(rewriteLine(GetParam().before, GetParam().line, "NEW"), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RewriteLine,
    ::testing::Values(RewriteRow{"HostsLine", kFive, kHostsLine,
                                 "pic\r\nNEW\r\n80\r\n80\r\nkeepHostsFile: True\r\n"},
                      RewriteRow{"LfFile", "pic\nhosts\n80\n80\nkeepHostsFile: True", kPictureLine,
                                 "NEW\r\nhosts\r\n80\r\n80\r\nkeepHostsFile: True\r\n"},
                      RewriteRow{"FourLinesKeepLine", "pic\r\nhosts\r\n80\r\n80\r\n", kKeepLine,
                                 "pic\r\nhosts\r\n80\r\n80\r\nNEW\r\n"},
                      RewriteRow{"FourLinesOtherLine", "pic\r\nhosts\r\n80\r\n80\r\n", kHostsLine,
                                 std::nullopt},
                      RewriteRow{"SevenLinesDropTheTail", kFive + "six\r\nseven\r\n", kPictureLine,
                                 "NEW\r\nhosts\r\n80\r\n80\r\nkeepHostsFile: True\r\n"},
                      RewriteRow{"Empty", "", kPictureLine, std::nullopt}),
    [](const auto& row) { return row.param.name; });

TEST(Preferences, ReadersTakeTheirLine) {
    Fixture f;
    f.files.files[kFile] = kFive;
    EXPECT_EQ(f.prefs.inputPicturePath(kFile), "pic");
    std::string hosts;
    f.prefs.inputHostsPath(kFile, hosts);
    EXPECT_EQ(hosts, "hosts");
    bool keep = false;
    f.prefs.inputKeepHostsFile(kFile, keep);
    EXPECT_TRUE(keep);
    EXPECT_FALSE(f.prefs.keepHostsFileNotSet(kFile));
    EXPECT_TRUE(f.box.shown.empty());
}

TEST(Preferences, AOneLineFileLeavesTheHostsPathEmpty) {
    Fixture f;
    f.files.files[kFile] = "pic\r\n";
    std::string hosts;
    f.prefs.inputHostsPath(kFile, hosts);
    EXPECT_EQ(hosts, "");
    EXPECT_EQ(f.box.prompts(),
              std::vector<std::string>{"Error opening prefs.dat file: Input past end of file"});
}

TEST(Preferences, DamagedKeepValueNoContinuesWithErrors) {
    Fixture f;
    f.files.files[kFile] = "pic\r\nhosts\r\n80\r\n80\r\nkeepHostsFile: maybe\r\n";
    f.box.answers = {Answer::No};
    bool keep = true;
    f.prefs.inputKeepHostsFile(kFile, keep);
    EXPECT_TRUE(keep) << "left unchanged";
    EXPECT_EQ(
        f.box.prompts(),
        (std::vector<std::string>{
            "Your prefs file seems to be corrupted (keepHostsFile not set to True or False). Do "
            "you want to recreate prefs.dat?",
            "Continuing with errors. If you do not fix these errors, the program will not "
            "function properly. Use with caution."}));
}

TEST(Preferences, RecreateWritesDefaultsRemovesTheIconAndEnds) {
    Fixture f;
    f.files.files[kFile] = "junk";
    f.box.answers = {Answer::Yes};
    bool keep = false;
    EXPECT_TRUE(f.ends([&] { f.prefs.inputKeepHostsFile(kFile, keep); }));
    EXPECT_EQ(f.files.files[kFile], defaultPrefs("/opt/tessel"));
    EXPECT_EQ(f.trayRemoved, 1);
    EXPECT_EQ(f.box.prompts().back(), "prefs.dat recreated sucessfully. Please re-open Tessel.");
}

TEST(Preferences, RecreateThatCannotWriteReturnsToItsCaller) {
    Fixture f;
    f.files.failWrite.insert(kFile);
    f.box.answers = {Answer::Yes};
    EXPECT_FALSE(f.ends([&] { EXPECT_TRUE(f.prefs.keepHostsFileNotSet(kFile)); }));
    EXPECT_EQ(f.box.prompts().back(), "Error saving prefs file: No space left on device");
    EXPECT_EQ(f.trayRemoved, 0);
}

TEST(Preferences, WritersLeaveTheFileAsItWasWhenTheyFail) {
    Fixture f;
    f.files.files[kFile] = "pic\r\nhosts\r\n80\r\n";
    f.prefs.outputHostsPath("/x", kFile);
    EXPECT_EQ(f.files.files[kFile], "pic\r\nhosts\r\n80\r\n");
    f.files.files[kFile] = kFive;
    f.files.failWrite.insert(kFile);
    f.prefs.outputPicturePath("/x", kFile);
    EXPECT_EQ(f.files.files[kFile], kFive);
    EXPECT_EQ(f.box.prompts(),
              (std::vector<std::string>{"Error opening prefs.dat file: Input past end of file",
                                        "Error opening prefs.dat file: No space left on device"}));
}

TEST(Preferences, KeepWriterSetsTheMemberEvenWhenTheFileIsMissing) {
    Fixture f;
    bool keep = false;
    f.prefs.outputKeepHostsFile(true, kFile, keep);
    EXPECT_TRUE(keep);
    EXPECT_EQ(f.box.prompts(),
              std::vector<std::string>{"Error opening prefs.dat file: No such file or directory"});
}
