#include "Harness.h"

using namespace tessel;
using namespace tessel::testing;

TEST(Pause, GivesTheHostsFileBackClosesThePortAndGreysTheIcon) {
    Harness h("True");
    h.files.files[kHosts] = "127.0.0.1 localhost\n";
    ASSERT_FALSE(h.load());
    h.block(3);
    h.trigger("menuPause2");
    EXPECT_TRUE(h.form->isPaused());
    EXPECT_FALSE(h.listener.listening || h.listener.countOnlyListening);
    EXPECT_EQ(h.files.files[kHosts], "127.0.0.1 localhost\n");
    EXPECT_FALSE(h.enabled("menuPause"));
    EXPECT_FALSE(h.enabled("menuPause2"));
    EXPECT_TRUE(h.enabled("menuResume"));
    EXPECT_TRUE(h.enabled("menuResume2"));
    EXPECT_EQ(h.tray.picture, platform::TrayPicture::Paused);
    EXPECT_EQ(h.form->blockedCount(), 3U);
    EXPECT_EQ(h.tray.tip, "3");

    h.trigger("menuResume2");
    EXPECT_FALSE(h.form->isPaused());
    EXPECT_TRUE(h.listener.listening && h.listener.countOnlyListening);
    EXPECT_NE(h.files.files[kHosts].find("127.0.0.1   ads.example.com"), std::string::npos);
    EXPECT_TRUE(h.enabled("menuPause"));
    EXPECT_FALSE(h.enabled("menuResume"));
    EXPECT_EQ(h.tray.picture, platform::TrayPicture::Running);
    EXPECT_EQ(h.form->blockedCount(), 3U);
}

TEST(Pause, ReplaceModeDeletesAndResumeWritesAgain) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.trigger("menuPause");
    EXPECT_EQ(h.files.files.count(kHosts), 0U);
    h.trigger("menuResume");
    EXPECT_TRUE(h.files.files[kHosts].starts_with("#\r\n# Hosts file created by Tessel\r\n"));
}
