#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <functional>
#include <ostream>
#include <vector>

#include "ui/FloaterWindow.h"
#include "ui/Pictures.h"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

using tessel::platform::TrayPicture;
using tessel::ui::FloaterWindow;
using tessel::ui::trayIcon;
using tessel::ui::twipsToPixels;

namespace {

QString focusName() {
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName() : QStringLiteral("(nothing)");
}

int px(int twips) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return twipsToPixels(twips, screen != nullptr ? screen->logicalDotsPerInchX() : 96.0);
}

QRect pixels(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

void deletePending() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class FloaterWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        delete floater.data();
        deletePending();
    }

    QLineEdit* box(const char* name) const { return floater->findChild<QLineEdit*>(name); }

    void showActive() {
        floater->show();
        floater->activateWindow();
        for (int pass = 0; pass < 100 && !floater->isActiveWindow(); ++pass) {
            QCoreApplication::processEvents();
        }
        ASSERT_TRUE(floater->isActiveWindow());
    }

    QPointer<FloaterWindow> floater = new FloaterWindow();
};

TEST_F(FloaterWindowTest, IsAFixedToolWindowAboveTheOthers) {
    EXPECT_TRUE(floater->isHidden()) << "loading does not show it";
    EXPECT_EQ(floater->windowTitle(), "Tessel");
    const Qt::WindowFlags flags = floater->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(floater->minimumSize(), QSize(px(855), px(735)));
    EXPECT_EQ(floater->maximumSize(), QSize(px(855), px(735)));
}

TEST_F(FloaterWindowTest, IconIsThePausedTrayPicture) {
    const QImage shown = floater->windowIcon().pixmap(16, 16).toImage();
    const QImage paused = trayIcon(TrayPicture::Paused).pixmap(16, 16).toImage();
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
              paused.convertToFormat(QImage::Format_ARGB32));
}

TEST_F(FloaterWindowTest, BoxesStartWithTheirPlacesAndTexts) {
    struct Start {
        const char* name;
        QRect place;
        const char* text;
    };
    const Start starts[] = {
        {"txtBlocked", pixels(180, 120, 495, 495), "0"},
        {"txtFloatHidden", pixels(360, 120, 150, 195), "Text2"},
    };
    for (const Start& start : starts) {
        SCOPED_TRACE(start.name);
        ASSERT_NE(box(start.name), nullptr);
        EXPECT_EQ(box(start.name)->geometry(), start.place);
        EXPECT_EQ(box(start.name)->text(), start.text);
    }
    EXPECT_EQ(floater->counter(), box("txtBlocked"));
}

TEST_F(FloaterWindowTest, CounterShowsLargeCentredDigits) {
    const QLineEdit* counter = floater->counter();
    EXPECT_TRUE(counter->isReadOnly());
    EXPECT_EQ(counter->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    const QFontInfo font(counter->font());
    EXPECT_DOUBLE_EQ(counter->font().pointSizeF(), 13.5);
    EXPECT_FALSE(font.bold());
    EXPECT_FALSE(font.italic());
}

TEST_F(FloaterWindowTest, CounterCoversTheFocusBox) {
    QWidget* hidden = box("txtFloatHidden");
    EXPECT_TRUE(floater->counter()->geometry().contains(hidden->geometry()));
    EXPECT_LT(floater->children().indexOf(hidden), floater->children().indexOf(floater->counter()))
        << "the counter is stacked above";
}

TEST_F(FloaterWindowTest, WideningKeepsTheBoxCentred) {
    floater->setCounterText(QStringLiteral("100"));
    floater->widenTextBox();
    EXPECT_EQ(floater->counter()->geometry(), pixels(120, 120, 615, 495));
    EXPECT_EQ(floater->counter()->text(), "100");
}

TEST_F(FloaterWindowTest, ResetShowsZeroAndKeepsTheWidth) {
    struct Case {
        const char* label;
        bool widened;
        QRect place;
    };
    const Case cases[] = {
        {"narrow", false, pixels(180, 120, 495, 495)},
        {"wide", true, pixels(120, 120, 615, 495)},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.label);
        if (each.widened) {
            floater->widenTextBox();
        }
        floater->setCounterText(QStringLiteral("99"));
        floater->resetToZero();
        EXPECT_EQ(floater->counter()->text(), "0");
        EXPECT_EQ(floater->counter()->geometry(), each.place);
    }
}

TEST_F(FloaterWindowTest, ClosingUnloadsOnceAndDeletesTheWindow) {
    int unloads = 0;
    QObject::connect(floater, &FloaterWindow::unloaded, [&unloads] { ++unloads; });
    floater->show();
    EXPECT_TRUE(floater->close());
    EXPECT_EQ(unloads, 1) << "announced on closing, before Qt deletes the window";
    deletePending();
    EXPECT_TRUE(floater.isNull());
    EXPECT_EQ(unloads, 1);
}

TEST_F(FloaterWindowTest, DeletingAnUnclosedWindowUnloadsOnce) {
    int unloads = 0;
    QObject::connect(floater, &FloaterWindow::unloaded, [&unloads] { ++unloads; });
    delete floater.data();
    EXPECT_EQ(unloads, 1);
}

TEST_F(FloaterWindowTest, CounterHandsTheFocusToTheHiddenBox) {
    ASSERT_NO_FATAL_FAILURE(showActive());
    QWidget* counter = floater->counter();
    QWidget* hidden = box("txtFloatHidden");
    EXPECT_EQ(focusName(), "txtFloatHidden") << "first in the tab order";
    const std::vector<std::pair<const char*, std::function<void()>>> routes{
        {"set", [&] { counter->setFocus(Qt::OtherFocusReason); }},
        // A press on a click-focus widget ends in this call inside Qt.
        {"click", [&] { counter->setFocus(Qt::MouseFocusReason); }},
        {"tab",
         [&] {
             QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
             QApplication::sendEvent(QApplication::focusWidget(), &tab);
         }},
    };
    for (const auto& [route, arrive] : routes) {
        SCOPED_TRACE(route);
        hidden->setFocus(Qt::OtherFocusReason);
        arrive();
        EXPECT_EQ(focusName(), "txtFloatHidden");
        EXPECT_FALSE(counter->hasFocus());
    }
}

}  // namespace
