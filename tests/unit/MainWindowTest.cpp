#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "platform/qt/QtTray.h"
#include "ui/MainWindow.h"
#include "ui/Pictures.h"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

using tessel::platform::TrayPicture;
using tessel::ui::MainWindow;
using tessel::ui::trayIcon;

namespace {

QString focusName() {
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName() : QStringLiteral("(nothing)");
}

class MainWindowTest : public ::testing::Test {
protected:
    void showActive() {
        window->show();
        window->activateWindow();
        for (int pass = 0; pass < 100 && !window->isActiveWindow(); ++pass) {
            QCoreApplication::processEvents();
        }
        ASSERT_TRUE(window->isActiveWindow());
    }

    QWidget* control(const char* name) const { return window->findChild<QWidget*>(name); }

    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>();
};

TEST_F(MainWindowTest, SystemTrayMenuNeverShowsInTheMenuBar) {
    EXPECT_EQ(window->trayMenu()->objectName(), "menuSysTray");
    EXPECT_EQ(window->trayMenu()->title(), "SYSTEM TRAY");
    for (const QAction* item : window->menuBar()->actions()) {
        EXPECT_NE(item->menu<QMenu*>(), window->trayMenu()) << item->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, OpenTesselIsTheTrayMenusBoldDefault) {
    QAction* open = window->action(QStringLiteral("menuOpen"));
    EXPECT_EQ(window->trayMenu()->defaultAction(), open);
    EXPECT_TRUE(open->font().bold());
    EXPECT_FALSE(window->action(QStringLiteral("menuFloater2"))->font().bold());
}

// An XEmbed tray shows the menu itself and opens on a double-click only; a StatusNotifierItem host
// reports its primary click as Trigger and asks for the menu with Context.
TEST(TrayClick, DependsOnTheKindOfTray) {
    using tessel::platform::TrayClick;
    const struct {
        QSystemTrayIcon::ActivationReason reason;
        bool itemHost;
        TrayClick expected;
    } rows[]{{QSystemTrayIcon::DoubleClick, false, TrayClick::Open},
             {QSystemTrayIcon::Trigger, false, TrayClick::None},
             {QSystemTrayIcon::Context, false, TrayClick::None},
             {QSystemTrayIcon::Trigger, true, TrayClick::Open},
             {QSystemTrayIcon::Context, true, TrayClick::Menu}};
    for (const auto& row : rows) {
        EXPECT_EQ(tessel::platform::trayClick(row.reason, row.itemHost), row.expected)
            << "reason " << row.reason << (row.itemHost ? " on an item host" : " on XEmbed");
    }
}

TEST_F(MainWindowTest, IconIsTheRunningTrayPicture) {
    const QImage shown = window->windowIcon().pixmap(16, 16).toImage();
    const QImage running = trayIcon(TrayPicture::Running).pixmap(16, 16).toImage();
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
              running.convertToFormat(QImage::Format_ARGB32));
}

TEST_F(MainWindowTest, CaptionEndsBeforeTheCounterBegins) {
    const auto* label = qobject_cast<QLabel*>(control("lblBlocked"));
    ASSERT_NE(label, nullptr);
    window->show();
    EXPECT_LE(label->x() + label->fontMetrics().horizontalAdvance(label->text()),
              window->counter()->x());
}

TEST_F(MainWindowTest, CounterHandsTheFocusToTheHiddenBox) {
    ASSERT_NO_FATAL_FAILURE(showActive());
    QWidget* counter = window->counter();
    QWidget* hidden = control("txtHidden");
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
        EXPECT_EQ(focusName(), "txtHidden");
        EXPECT_FALSE(counter->hasFocus());
    }
}

TEST_F(MainWindowTest, ClosingOnlyHides) {
    window->show();
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isHidden());
    window->show();
    EXPECT_TRUE(window->isVisible()) << "opens again";
}

TEST_F(MainWindowTest, MinimisingHidesAndOpensAgainNormal) {
    window->show();
    window->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(window->windowState(), Qt::WindowNoState);
    window->show();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
}

}  // namespace
