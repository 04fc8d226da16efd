#include <QCoreApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <cstdint>
#include <string>

#include "Harness.h"
#include "ui/Pictures.h"

using namespace tessel;
using namespace tessel::testing;

TEST(Counter, EachServedConnectionCountsAndTheDisplaysSettleOnTheCount) {
    Harness h;
    ASSERT_FALSE(h.load());
    const std::string reply = h.listener.connectAndSend();
    EXPECT_TRUE(reply.starts_with("HTTP/1.0 302 Moved Temporarily\r\n"));
    EXPECT_NE(reply.find("Location: file:///opt/tessel/data/Tessel.gif\r\n"), std::string::npos);
    EXPECT_EQ(h.form->blockedCount(), 1U);
    h.process.tick();
    EXPECT_EQ(h.form->window().counter()->text(), "1");
    EXPECT_EQ(h.tray.tip, "1");
    ASSERT_NE(h.form->floater(), nullptr) << "the hidden floating counter is kept current";
    EXPECT_FALSE(h.form->floater()->isVisible());
    EXPECT_EQ(h.form->floater()->counter()->text(), "1");
}

TEST(Counter, DisplaysFollowATimerThatRunsOnlyWhileTheCountMoves) {
    Harness h;
    ASSERT_FALSE(h.load());
    for (int i = 0; i < 500; ++i) {
        h.listener.connectAndSend();
    }
    EXPECT_NE(h.tray.tip, "500") << "refreshed for each connection";
    h.process.tick();
    EXPECT_EQ(h.tray.tip, "500");
    EXPECT_EQ(h.form->window().counter()->text(), "500");
    h.process.tick();
    EXPECT_FALSE(h.process.ticking) << "still ticking with the count at rest";
    h.listener.connectAndSend();
    ASSERT_TRUE(h.process.ticking) << "a new count must start the timer again";
    h.process.tick();
    EXPECT_EQ(h.tray.tip, "501");
}

namespace {

// Where a line edit lays out its text: inside its frame and text margins, less the 2 pixels it
// keeps clear on either side.
QRect textArea(const QLineEdit& box) {
    const int frame = box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &box);
    const QMargins margins = box.textMargins();
    return box.contentsRect().adjusted(frame + margins.left() + 2, 0, -frame - margins.right() - 2,
                                       0);
}

}  // namespace

TEST(Counter, EveryDigitShowsInBothBoxesAndTheFloaterWidensAtOneHundred) {
    Harness h;
    ASSERT_FALSE(h.load());
    struct Row {
        std::uint64_t count;
        int floaterTwips;  // the floating counter's width where it is fixed; 0 where it grows
    };
    const Row rows[] = {{99, 495}, {100, 615},     {999, 615},
                        {1000, 0}, {1'000'000, 0}, {UINT64_MAX, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.count);
        tessel::testing::FormAccess::blockedCount(*h.form) = row.count - 1;
        h.block(1);
        ui::FloaterWindow& floater = *h.form->floater();
        if (row.floaterTwips != 0) {
            EXPECT_EQ(floater.counter()->width(), ui::twipsToPixels(row.floaterTwips));
        }
        for (QLineEdit* box : {h.form->window().counter(), floater.counter()}) {
            SCOPED_TRACE(box->window()->metaObject()->className());
            EXPECT_EQ(box->text().toStdString(), std::to_string(row.count));
            const QRect area = textArea(*box);
            EXPECT_LE(QFontMetrics(box->font()).horizontalAdvance(box->text()), area.width());
            box->grab();  // the line edit decides its scrolling as it paints
            EXPECT_EQ(box->cursorPositionAt({area.left(), area.center().y()}), 0)
                << "the leading digit is scrolled out";
            for (QWidget* inner = box; !inner->isWindow(); inner = inner->parentWidget()) {
                EXPECT_TRUE(inner->parentWidget()->rect().contains(inner->geometry()));
            }
        }
    }
}

TEST(Counter, AFloaterOpenedAfterNinetyNineOpensWide) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.block(5);
    const int narrow = h.form->floater()->counter()->width();
    h.form->floater()->close();
    h.block(150);
    h.form->floater()->close();
    h.trigger("menuFloater");
    EXPECT_GT(h.form->floater()->counter()->width(), narrow);
    EXPECT_EQ(h.form->floater()->counter()->text(), "155");
}

TEST(Counter, ResetZeroesBothBoxesAndLeavesTheTooltip) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.block(7);
    h.listener.connectAndSend();  // counted, not yet displayed
    h.trigger("menuResetCounter2");
    EXPECT_EQ(h.form->blockedCount(), 0U);
    EXPECT_EQ(h.form->window().counter()->text(), "0");
    EXPECT_EQ(h.form->floater()->counter()->text(), "0");
    EXPECT_EQ(h.tray.tip, "8");
    h.block(1);
    EXPECT_EQ(h.tray.tip, "1");
}

TEST(Counter, CountsPastSixteenBits) {
    Harness h;
    ASSERT_FALSE(h.load());
    tessel::testing::FormAccess::blockedCount(*h.form) = 32767;
    h.block(2);
    EXPECT_EQ(h.tray.tip, "32769");
}

TEST(Floater, CheckMarkFollowsTheWindowFromEitherMenu) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.trigger("menuFloater2");
    ASSERT_NE(h.form->floater(), nullptr);
    EXPECT_TRUE(h.form->floater()->isVisible());
    EXPECT_TRUE(h.checked("menuFloater"));
    EXPECT_FALSE(h.checked("menuFloater2"));
    EXPECT_EQ(h.zorder.topmost[platform::WindowId::Floater], true);
    h.form->floater()->close();  // its own close box
    QCoreApplication::processEvents();
    EXPECT_FALSE(h.checked("menuFloater"));
    h.trigger("menuFloater");
    EXPECT_TRUE(h.checked("menuFloater"));
    h.trigger("menuFloater");
    EXPECT_FALSE(h.checked("menuFloater"));
    QCoreApplication::processEvents();
    EXPECT_EQ(h.form->floater(), nullptr);
}

TEST(Floater, OpensWithTheCurrentCount) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.block(12);
    h.form->floater()->close();
    QCoreApplication::processEvents();
    h.trigger("menuFloater");
    EXPECT_EQ(h.form->floater()->counter()->text(), "12");
}
