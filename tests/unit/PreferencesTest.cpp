#include <gtest/gtest.h>

#include "core/PrefsFormat.h"
#include "fakes/FakePlatform.h"
#include "prefs/Preferences.h"

using namespace tessel::core;
using tessel::prefs::Preferences;

TEST(PrefsFormat, KeepValueIsWhatFollowsTheFirstFifteenCharacters) {
    const std::pair<const char*, KeepSetting> rows[] = {
        {"keepHostsFile: True", KeepSetting::Keep},
        {"keepHostsFile: False", KeepSetting::Replace},
        {"XXXXXXXXXXXXXXXFalse", KeepSetting::Replace},
        {"keepHostsFile: true", KeepSetting::NotSet},
        {"keepHostsFile: True ", KeepSetting::NotSet},
        {"keepHostsFile:True", KeepSetting::NotSet},
        {"", KeepSetting::NotSet},
    };
    for (const auto& [line, setting] : rows) {
        EXPECT_EQ(parseKeep(line), setting) << line;
    }
}

TEST(PrefsFormat, RewrittenFilesHaveFiveCrLfLines) {
    struct Row {
        const char* before;
        int line;
        std::optional<std::string> after;
    };
    const Row rows[] = {
        {"p\nh\n8\n8\nkeepHostsFile: True", kPictureLine,
         "NEW\r\nh\r\n8\r\n8\r\nkeepHostsFile: True\r\n"},
        {"p\r\nh\r\n8\r\n8\r\n", kKeepLine, "p\r\nh\r\n8\r\n8\r\nNEW\r\n"},
        {"p\r\nh\r\n8\r\n8\r\n", kHostsLine, std::nullopt},
        {"p\r\nh\r\n8\r\n8\r\nk\r\nsix\r\n", kHostsLine, "p\r\nNEW\r\n8\r\n8\r\nk\r\n"},
        {"", kPictureLine, std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(rewriteLine(row.before, row.line, "NEW"), row.after) << row.before;
    }
}

// A file with a first line but no second has no HOSTS path, rather than the picture's.
TEST(Preferences, AOneLineFileHasNoHostsPath) {
    tessel::fakes::MemoryFileSystem files;
    files.files["/p"] = "pic\r\n";
    const auto line = Preferences(files).read("/p", kHostsLine);
    EXPECT_TRUE(!line.ok() && line.value.empty() && line.status.error() == kPastEndOfFile);
}
