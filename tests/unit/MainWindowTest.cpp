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
using tessel::ui::twipsToPixels;

namespace {

QString focusName() {
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName() : QStringLiteral("(nothing)");
}

enum class Kind { Command, Check, Break, SubMenu };

// One menu row as the user sees it; depth 0 is the top level of the menu.
struct Row {
    int depth;
    Kind kind;
    const char* name;
    const char* caption;
    const char* shortcut = "";
    bool enabled = true;
};

const std::vector<Row> kMenuBar{
    {0, Kind::SubMenu, "menuFile", "&File"},
    {1, Kind::Check, "menuFloater", "Floating &Counter"},
    {1, Kind::Command, "menuResetCounter", "&Reset Counter"},
    {1, Kind::Break, "menuBreak1", ""},
    {1, Kind::Command, "menuAbout", "&About Tessel..."},
    {1, Kind::Break, "menuBreak2", ""},
    {1, Kind::Command, "menuExit", "E&xit"},
    {0, Kind::SubMenu, "menuOptions", "&Options"},
    {1, Kind::Command, "menuServers", "&Server List...", "Ctrl+S"},
    {1, Kind::SubMenu, "menuPicture", "&Picture"},
    {2, Kind::Command, "menuPath", "Set &Picture...", "Ctrl+P"},
    {2, Kind::Break, "menuBreak3", ""},
    {2, Kind::Check, "menuPicBlack", "&Black"},
    {2, Kind::Check, "menuPicWhite", "&White"},
    {2, Kind::Check, "menuPicGray", "&Gray"},
    {2, Kind::Check, "menuPicTessel", "&Tessel"},
    {2, Kind::Check, "menuPicRAV", "A&CO"},
    {1, Kind::SubMenu, "menuAdvanced", "Ad&vanced"},
    {2, Kind::Command, "menuAdvHosts", "Change &HOSTS Path..."},
    {2, Kind::Command, "menuKeepReplace", "&Keep/Replace HOSTS File..."},
    {1, Kind::Break, "menuBreak4", ""},
    {1, Kind::Command, "menuPause", "P&ause"},
    {1, Kind::Command, "menuResume", "&Resume", "", false},
};

const std::vector<Row> kTrayMenu{
    {0, Kind::Command, "menuOpen", "Open Tessel"},
    {0, Kind::Break, "menuBreak10", ""},
    {0, Kind::Command, "menuFloater2", "&Floating Counter"},
    {0, Kind::Command, "menuResetCounter2", "&Reset Counter"},
    {0, Kind::Break, "menuBreak5", ""},
    {0, Kind::Command, "menuAbout2", "&About Tessel..."},
    {0, Kind::Break, "menuBreak7", ""},
    {0, Kind::Command, "menuPause2", "&Pause"},
    {0, Kind::Command, "menuResume2", "&Resume", "", false},
    {0, Kind::Break, "menuBreak8", ""},
    {0, Kind::Command, "menuServers2", "&Server List..."},
    {0, Kind::SubMenu, "menuPicture2", "&Change Picture"},
    {1, Kind::Command, "menuPath2", "Set &Path..."},
    {1, Kind::Break, "menuBreak6", ""},
    {1, Kind::Check, "menuPicBlack2", "&Black"},
    {1, Kind::Check, "menuPicWhite2", "&White"},
    {1, Kind::Check, "menuPicGray2", "&Gray"},
    {1, Kind::Check, "menuPicTessel2", "&Tessel"},
    {1, Kind::Check, "menuPicRAV2", "A&CO"},
    {0, Kind::SubMenu, "menuAdvanced2", "Ad&vanced"},
    {1, Kind::Command, "menuAdvHosts2", "Change &HOSTS path..."},
    {1, Kind::Command, "menuKeepReplace2", "&Keep/Replace HOSTS File..."},
    {0, Kind::Break, "menuBreak9", ""},
    {0, Kind::Command, "menuExit2", "E&xit"},
};

struct Shown {
    int depth;
    QAction* item;
};

void collect(const QList<QAction*>& items, int depth, std::vector<Shown>& into) {
    for (QAction* item : items) {
        into.push_back({depth, item});
        if (QMenu* menu = item->menu<QMenu*>()) {
            collect(menu->actions(), depth + 1, into);
        }
    }
}

Kind kindOf(const QAction* item) {
    if (item->isSeparator()) {
        return Kind::Break;
    }
    if (item->menu<QMenu*>() != nullptr) {
        return Kind::SubMenu;
    }
    return item->isCheckable() ? Kind::Check : Kind::Command;
}

void expectTree(const QList<QAction*>& top, const std::vector<Row>& table) {
    std::vector<Shown> shown;
    collect(top, 0, shown);
    ASSERT_EQ(shown.size(), table.size());
    for (std::size_t each = 0; each < table.size(); ++each) {
        const Row& row = table[each];
        const QAction* item = shown[each].item;
        SCOPED_TRACE(row.name);
        EXPECT_EQ(shown[each].depth, row.depth);
        EXPECT_EQ(item->objectName(), row.name);
        EXPECT_EQ(kindOf(item), row.kind);
        EXPECT_EQ(item->isSeparator() ? QString() : item->text(), row.caption);
        EXPECT_EQ(item->shortcut().toString(QKeySequence::PortableText), row.shortcut);
        EXPECT_EQ(item->isEnabled(), row.enabled);
        EXPECT_TRUE(item->isVisible());
        EXPECT_FALSE(item->isChecked());
        if (row.kind == Kind::SubMenu) {
            EXPECT_EQ(item->menu<QMenu*>()->objectName(), row.name);
        }
    }
}

double screenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
}

int px(int twips) {
    return twipsToPixels(twips, screenDpi());
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

TEST_F(MainWindowTest, MenuBarFollowsTheTable) {
    expectTree(window->menuBar()->actions(), kMenuBar);
}

TEST_F(MainWindowTest, TrayMenuFollowsTheTable) {
    ASSERT_NE(window->trayMenu(), nullptr);
    expectTree(window->trayMenu()->actions(), kTrayMenu);
}

TEST_F(MainWindowTest, ActionFindsEveryItemOfBothMenusByName) {
    for (const auto* table : {&kMenuBar, &kTrayMenu}) {
        for (const Row& row : *table) {
            const QAction* item = window->action(QString::fromLatin1(row.name));
            ASSERT_NE(item, nullptr) << row.name;
            EXPECT_EQ(item->objectName(), row.name);
        }
    }
    EXPECT_EQ(window->action(QStringLiteral("menuOpen2")), nullptr);
}

TEST_F(MainWindowTest, SystemTrayMenuNeverShowsInTheMenuBar) {
    EXPECT_EQ(window->trayMenu()->objectName(), "menuSysTray");
    EXPECT_EQ(window->trayMenu()->title(), "SYSTEM TRAY");
    std::vector<Shown> bar;
    collect(window->menuBar()->actions(), 0, bar);
    for (const Shown& shown : bar) {
        EXPECT_NE(shown.item->objectName(), "menuSysTray");
        EXPECT_NE(shown.item->menu<QMenu*>(), window->trayMenu());
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

TEST_F(MainWindowTest, IsAFixedToolWindowHiddenAtStart) {
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(window->windowTitle(), "Tessel");
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    window->show();
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->size(), window->minimumSize());
}

TEST_F(MainWindowTest, IconIsTheRunningTrayPicture) {
    const QImage shown = window->windowIcon().pixmap(16, 16).toImage();
    const QImage running = trayIcon(TrayPicture::Running).pixmap(16, 16).toImage();
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
              running.convertToFormat(QImage::Format_ARGB32));
}

TEST_F(MainWindowTest, ClientAreaHasItsSizeAndPlaceOnTheScreen) {
    window->show();
    const QWidget* client = window->centralWidget();
    EXPECT_EQ(client->size(), QSize(px(2280), px(585)));
    const QPoint origin = QGuiApplication::primaryScreen()->geometry().topLeft();
    EXPECT_EQ(client->mapToGlobal(QPoint(0, 0)), origin + QPoint(px(2040), px(1590)));
    EXPECT_GE(client->y(), window->menuBar()->geometry().bottom()) << "below the menu bar";
}

TEST_F(MainWindowTest, ControlsSitWhereTheLayoutPutsThem) {
    struct Place {
        const char* name;
        const char* parent;
        QRect twips;
    };
    const Place places[] = {
        {"txtHidden", nullptr, {1920, 360, 75, 135}},
        {"Frame1", nullptr, {53, 0, 2175, 550}},
        {"txtBlocked", "Frame1", {1680, 190, 375, 285}},
        {"lblBlocked", "Frame1", {90, 205, 1695, 255}},
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        const QWidget* widget = control(place.name);
        ASSERT_NE(widget, nullptr);
        const QWidget* parent = place.parent ? control(place.parent) : window->centralWidget();
        EXPECT_EQ(widget->parentWidget(), parent);
        const QRect& t = place.twips;
        EXPECT_EQ(widget->geometry(), QRect(px(t.x()), px(t.y()), px(t.width()), px(t.height())));
    }
}

TEST_F(MainWindowTest, ControlsHaveTheirKindsAndContents) {
    const auto* hidden = qobject_cast<QLineEdit*>(control("txtHidden"));
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(hidden->text().isEmpty());
    EXPECT_FALSE(hidden->focusPolicy() & Qt::TabFocus) << "not a tab stop";
    ASSERT_NE(qobject_cast<QFrame*>(control("Frame1")), nullptr);
    const auto* counter = qobject_cast<QLineEdit*>(control("txtBlocked"));
    ASSERT_EQ(counter, window->counter());
    EXPECT_EQ(counter->text(), "0");
    EXPECT_TRUE(counter->isReadOnly());
    const auto* label = qobject_cast<QLabel*>(control("lblBlocked"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Connections blocked:");
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
