#include <gtest/gtest.h>

#include "core/PrefsFormat.h"

using namespace tessel::prefs;

TEST(PrefsFormat, DefaultFileHasFiveCrLfLines) {
    EXPECT_EQ(defaultPrefs("/opt/t"),
              "/opt/t/data/Tessel.gif\r\n/etc/hosts\r\n80\r\n80\r\nkeepHostsFile: NotSet\r\n");
}
