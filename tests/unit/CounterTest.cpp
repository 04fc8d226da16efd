#include <QCoreApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>

#include "Harness.h"

using namespace tessel;
using namespace tessel::testing;
using platform::WindowId;

TEST(Counter, DisplaysFollowOnATimerAndResetLeavesTheTooltip) {
    Harness h;
    ASSERT_FALSE(h.load());
    for (int i = 0; i < 500; ++i) {
        h.listener.connectAndSend();
    }
    EXPECT_EQ(h.tray.tip, "Tessel") << "refreshed for each connection";
    h.process.tick();
    EXPECT_EQ(h.tray.tip, "500");
    EXPECT_EQ(h.form->window().counter()->text(), "500");
    ASSERT_NE(h.form->floater(), nullptr) << "the hidden floating counter is kept current";
    EXPECT_FALSE(h.form->floater()->isVisible());
    EXPECT_EQ(h.form->floater()->counter()->text(), "500");
    h.process.tick();
    EXPECT_FALSE(h.process.ticking) << "still ticking with the count at rest";
    h.listener.connectAndSend();  // counted, not yet shown
    h.trigger("menuResetCounter2");
    EXPECT_EQ(h.form->blockedCount(), 0U);
    EXPECT_EQ(h.form->window().counter()->text(), "0");
    EXPECT_EQ(h.form->floater()->counter()->text(), "0");
    EXPECT_EQ(h.tray.tip, "501");
    h.block(1);
    EXPECT_EQ(h.tray.tip, "1");
}

TEST(Counter, EveryDigitShowsAndTheFloaterWidensFromOneHundred) {
    Harness h;
    ASSERT_FALSE(h.load());
    int window = 0;  // the floater's width at 99, the first count
    for (const std::uint64_t count :
         {std::uint64_t{99}, std::uint64_t{100}, std::uint64_t{65536}, UINT64_MAX}) {
        SCOPED_TRACE(count);
        FormAccess::blockedCount(*h.form) = count - 1;
        h.block(1);
        QLineEdit* floating = h.form->floater()->counter();
        // Widened in time, the box takes the window's margins: the window itself keeps its width.
        if (window == 0) {
            window = h.form->floater()->width();
        } else {
            EXPECT_TRUE(count > 100 || h.form->floater()->width() == window);
        }
        for (QLineEdit* box : {h.form->window().counter(), floating}) {
            EXPECT_EQ(box->text().toStdString(), std::to_string(count));
            // The text lies inside the frame, the margins and the 2 pixels a line edit keeps clear.
            const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
            const QRect area = box->contentsRect()
                                   .marginsRemoved(box->textMargins())
                                   .adjusted(frame + 2, 0, -frame - 2, 0);
            EXPECT_LE(QFontMetrics(box->font()).horizontalAdvance(box->text()), area.width());
        }
        if (count >= 100) {  // the next one is made anew, and must open wide too
            h.form->floater()->close();
            QCoreApplication::processEvents();
        }
    }
}

TEST(Windows, FollowTheirMenusAndStackingOrder) {
    Harness h;
    ASSERT_FALSE(h.load());
    EXPECT_EQ(h.files.cleaned, (std::vector<std::string>{kDir + "/data", "/etc/hosts"}))
        << "temporaries of a killed run are cleared before anything is written";
    EXPECT_TRUE(h.zorder.topmost[WindowId::Main]);
    h.tray.onOpen();
    EXPECT_TRUE(h.form->window().isVisible());
    h.trigger("menuServers2");
    ui::ServersWindow* servers = h.form->servers();
    EXPECT_FALSE(h.zorder.topmost[WindowId::Main]);
    h.trigger("menuServers");
    EXPECT_EQ(h.form->servers(), servers) << "a second opening only brings it forward";
    servers->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(h.form->servers(), nullptr);
    EXPECT_TRUE(h.zorder.topmost[WindowId::Main]);
}
