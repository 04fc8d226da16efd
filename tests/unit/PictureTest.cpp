#include "Harness.h"

using namespace tessel;
using namespace tessel::testing;
using platform::PickResult;

namespace {

std::string line1(Harness& h) {
    const std::string& prefs = h.files.files[kPrefs];
    return prefs.substr(0, prefs.find("\r\n"));
}

int markedRows(Harness& h) {
    int marked = 0;
    for (const char* item :
         {"menuPicBlack", "menuPicWhite", "menuPicGray", "menuPicTessel", "menuPicRAV",
          "menuPicBlack2", "menuPicWhite2", "menuPicGray2", "menuPicTessel2", "menuPicRAV2"}) {
        marked += h.checked(item) ? 1 : 0;
    }
    return marked;
}

}  // namespace

struct PresetRow {
    const char* item;
    std::string written;
};
inline void PrintTo(const PresetRow& row, std::ostream* out) {
    *out << row.item;
}

class PresetCommand : public ::testing::TestWithParam<PresetRow> {};

TEST_P(PresetCommand, SetsThePathWritesLineOneAndMarksBothCopies) {
    for (const std::string suffix : {"", "2"}) {
        Harness h;
        ASSERT_FALSE(h.load());
        const std::string picture = "GIF89a" + GetParam().written;
        h.files.files[kDir + GetParam().written] = picture;
        h.trigger((GetParam().item + suffix).c_str());
        h.trigger((GetParam().item + suffix).c_str());  // choosing it again changes nothing
        EXPECT_EQ(h.form->picturePath(), kDir + GetParam().written);
        EXPECT_EQ(line1(h), kDir + GetParam().written);
        EXPECT_TRUE(h.checked(GetParam().item));
        EXPECT_TRUE(h.checked((std::string(GetParam().item) + "2").c_str()));
        EXPECT_EQ(markedRows(h), 2);
        EXPECT_TRUE(h.listener.connectAndSend().ends_with("no-cache\r\n\r\n" + picture));
        EXPECT_TRUE(h.box.shown.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Presets, PresetCommand,
                         ::testing::Values(PresetRow{"menuPicBlack", "/data/black.gif"},
                                           PresetRow{"menuPicWhite", "/data/white.gif"},
                                           PresetRow{"menuPicGray", "/data/gray.gif"},
                                           PresetRow{"menuPicTessel", "/data/Tessel.gif"},
                                           PresetRow{"menuPicRAV", "/data/rav.gif"}));

TEST(SetPicture, AChosenPresetFileInAnyCaseMarksItsRow) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.picker.results.push_back({PickResult::Kind::Chosen, "/OPT/tessel/Data/GRAY.gif"});
    h.trigger("menuPath2");
    ASSERT_EQ(h.picker.requests.size(), 1U);
    EXPECT_TRUE(h.picker.requests[0].mustExist);
    EXPECT_EQ(h.picker.requests[0].initDir, kDir + "/data/Tessel.gif");
    EXPECT_EQ(h.form->picturePath(), "/OPT/tessel/Data/GRAY.gif");
    EXPECT_TRUE(h.checked("menuPicGray"));
    EXPECT_TRUE(h.checked("menuPicGray2"));
    EXPECT_EQ(markedRows(h), 2);
    EXPECT_EQ(h.box.prompts(), std::vector<std::string>{"Picture set."});
    EXPECT_EQ(line1(h), "/OPT/tessel/Data/GRAY.gif");
}

TEST(SetPicture, AnyOtherFileClearsTheMarksAndIsUsedAtOnce) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.picker.results.push_back({PickResult::Kind::Chosen, "/home/me/my banner.gif"});
    h.files.files["/home/me/my banner.gif"] = "\x89PNG\r\n\x1a\n";
    h.trigger("menuPath");
    EXPECT_EQ(markedRows(h), 0);
    EXPECT_FALSE(h.checked("menuPath"));
    EXPECT_NE(h.listener.connectAndSend().find("image/png"), std::string::npos);
}

TEST(SetPicture, CancelChangesNothingAndSaysNothing) {
    Harness h;
    ASSERT_FALSE(h.load());
    const std::string prefs = h.files.files[kPrefs];
    h.trigger("menuPath");
    EXPECT_TRUE(h.box.shown.empty());
    EXPECT_EQ(h.files.files[kPrefs], prefs);
    EXPECT_TRUE(h.checked("menuPicTessel"));
}

TEST(SetPicture, ADialogFailureIsReportedWithTheExclamationIcon) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.picker.results.push_back({PickResult::Kind::Failed, "No dialog"});
    h.trigger("menuPath");
    ASSERT_EQ(h.box.shown.size(), 1U);
    EXPECT_EQ(h.box.shown[0].prompt, "Error: No dialog");
    EXPECT_EQ(h.box.shown[0].icon, platform::Icon::Exclamation);
    EXPECT_TRUE(h.checked("menuPicTessel"));
}

TEST(SetPicture, TheMarkAndThePictureAreFoundAgainAfterARestart) {
    Harness first;
    ASSERT_FALSE(first.load());
    first.trigger("menuPicWhite");
    Harness second;
    second.files.files[kPrefs] = first.files.files[kPrefs];
    second.files.files[kDir + "/data/white.gif"] = "GIF87a white";
    ASSERT_FALSE(second.load());
    EXPECT_TRUE(second.checked("menuPicWhite"));
    EXPECT_TRUE(second.checked("menuPicWhite2"));
    EXPECT_TRUE(second.listener.connectAndSend().ends_with("\r\n\r\nGIF87a white"));
}

TEST(SetPicture, UnwritablePrefsStillChangesThePictureInUse) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.files.failWrite.insert(kPrefs);
    h.trigger("menuPicBlack");
    EXPECT_EQ(h.box.prompts(),
              std::vector<std::string>{"Error opening prefs.dat file: No space left on device"});
    EXPECT_EQ(h.form->picturePath(), kDir + "/data/black.gif");
    EXPECT_TRUE(h.checked("menuPicBlack"));
}
