#include <QCoreApplication>
#include <QTimer>

#include "Harness.h"

using namespace tessel;
using namespace tessel::testing;
using platform::WindowId;

namespace {

// The About command waits with the real event loop turning, as it does in the program.
void turnTheEventLoop(Harness& h) {
    h.process.onProcessEvents = [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); };
}

}  // namespace

TEST(AboutCommand, WaitsWhileOtherEventsAreHandledThenRestoresTheTopmostState) {
    Harness h;
    ASSERT_FALSE(h.load());
    turnTheEventLoop(h);
    h.zorder.calls.clear();
    bool sawBoxOpen = false;
    QTimer::singleShot(30, [&] {
        sawBoxOpen = h.form->about() != nullptr && h.form->about()->isVisible();
        EXPECT_EQ(h.zorder.topmost[WindowId::Main], false);
        h.listener.connectAndSend();  // the responder keeps working meanwhile
        h.trigger("menuPicGray2");    // and so do the menus
    });
    QTimer::singleShot(120, [&] { h.form->about()->close(); });
    h.trigger("menuAbout2");
    EXPECT_TRUE(sawBoxOpen);
    EXPECT_EQ(h.form->blockedCount(), 1U);
    EXPECT_EQ(h.tray.tip, "1");
    EXPECT_TRUE(h.checked("menuPicGray"));
    // The hidden floating counter was loaded (topmost) by the count; the main window's state was
    // taken away first and given back last.
    EXPECT_EQ(h.zorder.calls.front(), std::make_pair(WindowId::Main, false));
    EXPECT_EQ(h.zorder.calls.back(), std::make_pair(WindowId::Main, true));
}

TEST(AboutCommand, ASecondCommandShowsTheSameBoxAndOneOkEndsBothWaits) {
    Harness h;
    ASSERT_FALSE(h.load());
    turnTheEventLoop(h);
    h.zorder.calls.clear();
    ui::AboutBox* first = nullptr;
    ui::AboutBox* second = nullptr;
    QTimer::singleShot(30, [&] {
        first = h.form->about();
        QTimer::singleShot(60, [&] {
            second = h.form->about();
            h.form->about()->close();
        });
        h.trigger("menuAbout");
    });
    h.trigger("menuAbout");
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(h.zorder.calls.size(), 4U);
    EXPECT_EQ(h.zorder.calls.back(), std::make_pair(WindowId::Main, true));
}
