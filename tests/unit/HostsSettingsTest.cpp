#include "Harness.h"

using namespace tessel;
using namespace tessel::testing;
using platform::Answer;
using platform::PickResult;

TEST(ChangeHostsPath, WritesLineTwoAndKeepsThePathInUseUntilRestart) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.files.files["/srv/hosts"] = "";
    h.picker.results.push_back({PickResult::Kind::Chosen, "/srv/hosts"});
    h.trigger("menuAdvHosts2");
    ASSERT_EQ(h.picker.requests.size(), 1U);
    EXPECT_TRUE(h.picker.requests[0].mustExist);
    EXPECT_EQ(h.picker.requests[0].initDir, kHosts);
    EXPECT_EQ(h.files.files[kPrefs], prefsText("False", kDir + "/data/Tessel.gif", "/srv/hosts"));
    EXPECT_EQ(h.box.prompts(),
              std::vector<std::string>{
                  "Path changed. Please exit and re-open Tessel for changes to take effect."});
    EXPECT_EQ(h.form->hostsPath(), kHosts);
    EXPECT_TRUE(h.ends([&] { h.form->menuExit_Click(); }));
    EXPECT_EQ(h.files.files.count(kHosts), 0U) << "the old path is restored at exit";
}

TEST(ChangeHostsPath, CancelIsSilentAndTheFileNameIsKeptBetweenUses) {
    Harness h;
    ASSERT_FALSE(h.load());
    const std::string prefs = h.files.files[kPrefs];
    h.trigger("menuAdvHosts");
    EXPECT_TRUE(h.box.shown.empty());
    EXPECT_EQ(h.files.files[kPrefs], prefs);
    h.picker.results.push_back({PickResult::Kind::Chosen, "/srv/hosts"});
    h.trigger("menuAdvHosts");
    h.trigger("menuAdvHosts");
    EXPECT_EQ(h.picker.requests.back().fileName, "/srv/hosts");
}

struct ModeRow {
    std::string mode;
    Answer answer;
    bool keepAfter;
    bool written;
};
inline void PrintTo(const ModeRow& row, std::ostream* out) {
    *out << row.mode << " answered " << static_cast<int>(row.answer);
}
class KeepReplace : public ::testing::TestWithParam<ModeRow> {};

TEST_P(KeepReplace, YesMeansKeepAndPrefsChangeOnlyWithTheMode) {
    const ModeRow& row = GetParam();
    Harness h(row.mode);
    h.files.files[kHosts] = "";
    ASSERT_FALSE(h.load());
    const int writes = h.files.writes;
    h.box.answers.push_back(row.answer);
    h.trigger("menuKeepReplace2");
    ASSERT_EQ(h.box.shown.size(), 1U);
    EXPECT_EQ(h.box.shown[0].buttons, platform::Buttons::YesNoCancel);
    EXPECT_TRUE(h.box.shown[0].prompt.starts_with(
        row.mode == "True" ? "The current setting is set to keep the existing HOSTS file. This\r\n"
                           : "The current setting is set to replace the HOSTS file. This\r\n"));
    EXPECT_EQ(h.form->keepsHostsFile(), row.keepAfter);
    EXPECT_EQ(h.files.writes - writes, row.written ? 1 : 0);
    EXPECT_NE(
        h.files.files[kPrefs].find(row.keepAfter ? "keepHostsFile: True" : "keepHostsFile: False"),
        std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Answers, KeepReplace,
                         ::testing::Values(ModeRow{"False", Answer::Yes, true, true},
                                           ModeRow{"False", Answer::No, false, false},
                                           ModeRow{"False", Answer::Cancel, false, false},
                                           ModeRow{"True", Answer::Yes, true, false},
                                           ModeRow{"True", Answer::No, false, true},
                                           ModeRow{"True", Answer::Cancel, true, false}));
