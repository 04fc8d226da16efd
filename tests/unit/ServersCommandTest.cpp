#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>

#include "Harness.h"
#include "platform/qt/Text.h"

using namespace tessel;
using namespace tessel::testing;
using platform::WindowId;

namespace {

void type(Harness& h, const std::string& text) {
    h.form->servers()->textBox()->setPlainText(platform::toDisplay(text));
}

void clickOk(Harness& h) {
    h.form->servers()->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
}

}  // namespace

TEST(ServerList, OpensCleanedAndSortedWithTheMainWindowNoLongerOnTop) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.files.files[kList] = "c.com\r\nx\r\n\r\nA.com\nb.com";
    h.trigger("menuServers2");
    ASSERT_NE(h.form->servers(), nullptr);
    EXPECT_EQ(h.form->servers()->listText(), "A.com\r\nb.com\r\nc.com");
    EXPECT_TRUE(h.form->servers()->isVisible());
    EXPECT_EQ(h.zorder.topmost[WindowId::Main], false);
    ui::ServersWindow* first = h.form->servers();
    h.files.files[kList] = "changed.com\r\n";
    h.trigger("menuServers");
    EXPECT_EQ(h.form->servers(), first) << "a second opening only brings it forward";
    EXPECT_EQ(h.form->servers()->listText(), "A.com\r\nb.com\r\nc.com");
}

TEST(ServerList, OkSavesTheCleanedListAndAppliesItAtOnce) {
    Harness h("True");
    h.files.files[kHosts] = "127.0.0.1 localhost\r\n";
    ASSERT_FALSE(h.load());
    h.trigger("menuServers");
    type(h, "  one.example\r\n\r\n\r\ntwo.example  \r\n");
    clickOk(h);
    EXPECT_EQ(h.files.files[kList], "one.example\r\ntwo.example  \r\n\r\n");
    EXPECT_EQ(h.files.files[kHosts],
              "127.0.0.1 localhost\r\n\r\n\r\n#Following lines created by Tessel:\r\n"
              "127.0.0.1   one.example\r\n127.0.0.1   two.example  \r\n");
    EXPECT_EQ(h.box.prompts(),
              std::vector<std::string>{"Hosts file changed. You must restart your\r\nweb browser "
                                       "for changes to take effect."});
    QCoreApplication::processEvents();
    EXPECT_EQ(h.form->servers(), nullptr);
    EXPECT_EQ(h.zorder.topmost[WindowId::Main], true);
}

TEST(ServerList, CancelAndTheCloseBoxLeaveEverythingAsItWas) {
    for (const bool closeBox : {false, true}) {
        Harness h;
        ASSERT_FALSE(h.load());
        const auto files = h.files.files;
        h.trigger("menuServers");
        type(h, "other.example\r\n");
        if (closeBox) {
            h.form->servers()->close();
        } else {
            h.form->servers()->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(h.form->servers(), nullptr);
        EXPECT_EQ(h.files.files, files);
        EXPECT_EQ(h.zorder.topmost[WindowId::Main], true);
    }
}

TEST(ServerList, AnUnreadableListShowsNoWindow) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.files.files.erase(kList);
    h.trigger("menuServers");
    EXPECT_EQ(h.form->servers(), nullptr);
    EXPECT_EQ(h.box.prompts(),
              std::vector<std::string>{"Error opening badHosts.dat:\r\nNo such file or directory"});
    EXPECT_EQ(h.zorder.topmost[WindowId::Main], true);
}

TEST(ServerList, AFailedSaveLeavesTheHostsFileAndTheWindow) {
    Harness h;
    ASSERT_FALSE(h.load());
    const std::string hosts = h.files.files[kHosts];
    h.trigger("menuServers");
    h.files.failWrite.insert(kList);
    type(h, "other.example");
    clickOk(h);
    EXPECT_EQ(h.box.prompts(),
              std::vector<std::string>{"Error saving badHosts.dat: No space left on device"});
    EXPECT_EQ(h.files.files[kHosts], hosts);
    ASSERT_NE(h.form->servers(), nullptr);
    EXPECT_TRUE(h.form->servers()->isVisible());
}
