#include <QCoreApplication>
#include <QEvent>
#include <functional>
#include <utility>
#include <vector>

#include "Harness.h"
#include "app/SessionEnd.h"

using namespace tessel;
using namespace tessel::testing;
using platform::Answer;
using platform::Buttons;
using platform::Icon;

TEST(Startup, SecondInstanceOnlyApologisesAndEnds) {
    Harness h;
    h.instance.running = true;
    h.files.files[kHosts] = "user\r\n";
    EXPECT_TRUE(h.load());
    ASSERT_EQ(h.box.shown.size(), 1U);
    EXPECT_EQ(h.box.shown[0].prompt, "Sorry, Tessel is already running!");
    EXPECT_EQ(h.box.shown[0].title, "Tessel");
    EXPECT_TRUE(h.listener.ports.empty());
    EXPECT_EQ(h.files.writes, 0);
    EXPECT_EQ(h.files.files[kHosts], "user\r\n");
    EXPECT_FALSE(h.tray.present);
}

TEST(Startup, RunsItsStepsInOrder) {
    Harness h("True");
    h.files.files[kHosts] = "user\r\n";
    std::string hostsWhenListening;
    h.listener.onListen = [&] { hostsWhenListening = h.files.files[kHosts]; };
    EXPECT_FALSE(h.load());
    EXPECT_EQ(h.listener.ports, (std::vector<std::uint16_t>{80, 443}));
    EXPECT_EQ(hostsWhenListening, "user\r\n") << "the port listens before the HOSTS file changes";
    EXPECT_EQ(
        h.files.files[kHosts],
        "user\r\n\r\n\r\n#Following lines created by Tessel:\r\n127.0.0.1   ads.example.com\r\n"
        "127.0.0.1   banner.example.net\r\n");
    EXPECT_TRUE(h.tray.present);
    EXPECT_EQ(h.tray.tip, "Tessel");
    EXPECT_EQ(h.tray.picture, platform::TrayPicture::Running);
    ASSERT_FALSE(h.zorder.calls.empty());
    EXPECT_EQ(h.zorder.calls.back(), std::make_pair(platform::WindowId::Main, true));
    EXPECT_FALSE(h.form->window().isVisible());
    EXPECT_TRUE(h.box.shown.empty());
    EXPECT_TRUE(h.form->keepsHostsFile());
    EXPECT_EQ(h.form->hostsPath(), kHosts);
    EXPECT_EQ(h.form->blockedCount(), 0U);
    EXPECT_EQ(h.files.cleaned, (std::vector<std::string>{kDir + "/data", "/etc"}))
        << "temporaries of a killed run are cleared before anything is written";
}

TEST(Startup, PortConflictEndsBeforeTheHostsFileOrTrayIsTouched) {
    Harness h;
    h.files.files[kHosts] = "user\r\n";
    h.listener.failures.push_back({platform::kAddressInUseNumber, "Address already in use"});
    EXPECT_TRUE(h.load());
    ASSERT_EQ(h.box.shown.size(), 1U);
    EXPECT_EQ(h.box.shown[0].prompt, "Sorry, port 80 is being used by another application!");
    EXPECT_EQ(h.box.shown[0].title, "Port Conflict");
    EXPECT_EQ(h.box.shown[0].icon, Icon::Exclamation);
    EXPECT_EQ(h.files.files[kHosts], "user\r\n");
    EXPECT_FALSE(h.tray.present);
}

TEST(Startup, HttpsPortTakenOrNotAllowedIsNoError) {
    for (const int number : {platform::kAddressInUseNumber, 13}) {
        Harness h;
        h.listener.countOnlyFailures.push_back({number, "Address already in use"});
        EXPECT_FALSE(h.load());
        EXPECT_TRUE(h.box.shown.empty());
        EXPECT_TRUE(h.listener.listening);
        EXPECT_TRUE(h.tray.present);
    }
}

TEST(Startup, OtherListenFailureNamesTheCause) {
    Harness h;
    h.listener.failures.push_back({13, "Permission denied"});
    EXPECT_TRUE(h.load());
    ASSERT_EQ(h.box.shown.size(), 1U);
    EXPECT_EQ(h.box.shown[0].prompt, "Error listening to WinSock: Permission denied");
    EXPECT_EQ(h.box.shown[0].title, "Tessel");
    EXPECT_EQ(h.box.shown[0].icon, Icon::None);
}

TEST(Startup, MissingPrefsOffersToRecreateAndEndsAfterRecreating) {
    Harness h;
    h.files.files.erase(kPrefs);
    EXPECT_TRUE(h.load());
    ASSERT_EQ(h.box.shown.size(), 2U);
    EXPECT_EQ(h.box.shown[0].prompt,
              "Error trying to read prefs.dat: No such file or directory\r\nThis file is probably "
              "corrupted. Do you want to recreate prefs.dat?");
    EXPECT_EQ(h.box.shown[0].buttons, Buttons::YesNo);
    EXPECT_EQ(h.box.shown[1].prompt, "prefs.dat recreated sucessfully. Please re-open Tessel.");
    EXPECT_EQ(h.files.files[kPrefs],
              "/opt/tessel/data/Tessel.gif\r\n/etc/hosts\r\n80\r\n80\r\nkeepHostsFile: NotSet\r\n");
    EXPECT_TRUE(h.listener.ports.empty());
}

struct MarkRow {
    std::string picture;
    const char* marked;  // nullptr: no preset item marked
};
inline void PrintTo(const MarkRow& row, std::ostream* out) {
    *out << '"' << row.picture << '"';
}

class StartupMarks : public ::testing::TestWithParam<MarkRow> {};

TEST(Exit, SessionEndBeforeTheHostsFileWasWrittenTouchesNothing) {
    Harness h;
    h.files.files[kHosts] = "user\r\n";
    EXPECT_TRUE(h.ends([&] { h.form->sessionEnding(); }));
    EXPECT_EQ(h.files.files[kHosts], "user\r\n");
}

TEST(Exit, SessionEndRunsTheExitSequence) {
    const std::vector<std::pair<const char*, std::function<void(app::MainForm&)>>> ends{
        {"signal", [](app::MainForm& form) { form.sessionEnding(); }},
        // The session manager's Die reaches the application as a quit request.
        {"quit request",
         [](app::MainForm& form) {
             const app::SessionEnd end([&form] { form.sessionEnding(); }, nullptr);
             QEvent quit(QEvent::Quit);
             QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
         }},
    };
    for (const auto& [name, end] : ends) {
        SCOPED_TRACE(name);
        Harness h;
        ASSERT_FALSE(h.load());
        EXPECT_TRUE(h.ends([&] { end(*h.form); }));
        EXPECT_EQ(h.files.files.count(kHosts), 0U);
        EXPECT_FALSE(h.tray.present);
    }
}

TEST(MainWindow, OpenShowsItOnTop) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.trigger("menuOpen");
    EXPECT_TRUE(h.form->window().isVisible());
    EXPECT_EQ(h.zorder.topmost[platform::WindowId::Main], true);
    h.form->window().close();
    EXPECT_FALSE(h.form->window().isVisible());
    h.tray.onOpen();
    EXPECT_TRUE(h.form->window().isVisible());
}

TEST_P(StartupMarks, MarkThePresetThePathNames) {
    Harness h;
    h.files.files[kPrefs] = prefsText("False", GetParam().picture);
    ASSERT_FALSE(h.load());
    for (const char* item :
         {"menuPicBlack", "menuPicWhite", "menuPicGray", "menuPicTessel", "menuPicRAV"}) {
        const bool expected =
            GetParam().marked != nullptr && std::string(item) == GetParam().marked;
        EXPECT_EQ(h.checked(item), expected) << item;
        EXPECT_EQ(h.checked((std::string(item) + "2").c_str()), expected) << item << "2";
    }
    EXPECT_EQ(h.form->picturePath(), GetParam().picture);
}

TEST(Exit, RestoresRemovesTheIconAndEnds) {
    Harness h("True");
    h.files.files[kHosts] = "user\n";
    ASSERT_FALSE(h.load());
    EXPECT_TRUE(h.ends([&] { h.form->menuExit_Click(); }));
    EXPECT_EQ(h.files.files[kHosts], "user\n");
    EXPECT_FALSE(h.tray.present);
    EXPECT_EQ(h.process.ended, 1);
}

INSTANTIATE_TEST_SUITE_P(Pictures, StartupMarks,
                         ::testing::Values(MarkRow{"/opt/tessel/data/gray.gif", "menuPicGray"},
                                           MarkRow{"/OPT/Tessel/DATA/GRAY.GIF", "menuPicGray"},
                                           MarkRow{"/opt/tessel/data/Tessel.gif", "menuPicTessel"},
                                           MarkRow{"/opt/tessel/data/rav.gif", "menuPicRAV"},
                                           MarkRow{"/home/me/pictures/gray.gif", nullptr},
                                           MarkRow{"", nullptr}));
