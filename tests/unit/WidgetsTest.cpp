#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "Harness.h"
#include "platform/qt/QtTray.h"
#include "ui/AboutBox.h"
#include "ui/FloaterWindow.h"
#include "ui/MainWindow.h"
#include "ui/Pictures.h"
#include "ui/ServersWindow.h"

using namespace tessel;
using namespace tessel::testing;
using platform::WindowId;
using ui::twipsToPixels;

namespace {

// The counters hand the focus to the hidden box; the main window only ever hides, and opens again
// in its normal state.
TEST(Widgets, CountersHandTheFocusToTheHiddenBoxAndTheMainWindowOnlyHides) {
    ui::MainWindow main;
    const QPointer<ui::FloaterWindow> floater = new ui::FloaterWindow();
    for (const auto& [window, name] :
         {std::pair<QWidget*, const char*>{&main, "txtHidden"}, {floater, "txtFloatHidden"}}) {
        window->show();
        window->activateWindow();
        for (int pass = 0; pass < 100 && !window->isActiveWindow(); ++pass) {
            QCoreApplication::processEvents();
        }
        ASSERT_TRUE(window->isActiveWindow()) << name;
        auto* hidden = window->findChild<QLineEdit*>(name);
        for (const bool tab : {false, true}) {
            SCOPED_TRACE(std::string(name) + (tab ? " by tab" : " by a click"));
            hidden->setFocus(Qt::OtherFocusReason);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            if (tab) {
                QApplication::sendEvent(hidden, &press);
            } else {
                window->findChild<QLineEdit*>("txtBlocked")->setFocus(Qt::MouseFocusReason);
            }
            EXPECT_EQ(QApplication::focusWidget(), hidden);
        }
    }
    delete floater.data();
    EXPECT_FALSE(main.close());
    EXPECT_TRUE(main.isHidden());
    main.show();
    main.setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(main.isHidden());
    main.show();
    EXPECT_FALSE(main.isMinimized()) << "opens again in its normal state";
}

// Every digit shows, from an empty count to the largest, in the main window and in the floating
// counter, narrow and widened after a long count had already grown it.
TEST(Widgets, TheCountFitsItsBoxAtAnyWidth) {
    const QString counts[] = {"0", "99", "100", "1000000", QString::number(UINT64_MAX)};
    for (const QString& count : counts) {
        ui::MainWindow main;
        main.setCounterText(count);
        ui::FloaterWindow narrow, grown;
        narrow.setCounterText(count);
        grown.setCounterText(count);
        grown.widenTextBox();
        for (ui::FloaterWindow* floater : {&narrow, &grown}) {
            const QLineEdit& box = *floater->counter();
            EXPECT_NEAR(box.x(), floater->width() - box.x() - box.width(), 1) << "centred";
        }
        for (QLineEdit* box : {main.counter(), narrow.counter(), grown.counter()}) {
            SCOPED_TRACE(count.toStdString() + " in " + box->window()->metaObject()->className());
            box->grab();  // the line edit decides its scrolling as it paints
            EXPECT_EQ(box->cursorPositionAt({1, box->height() / 2}), 0) << "first digit cut";
            for (QWidget* inner = box; !inner->isWindow(); inner = inner->parentWidget()) {
                EXPECT_TRUE(inner->parentWidget()->rect().contains(inner->geometry()));
            }
        }
    }
}

// Closing is the end of a window even before Qt deletes it: it says so at once, and only once.
TEST(Widgets, WindowsUnloadOnce) {
    const std::function<void(QWidget*)> ends[] = {
        [](QWidget* window) { window->close(); }, [](QWidget* window) { delete window; },
        [](QWidget* window) { window->findChild<QPushButton*>("cmdCancel")->click(); }};
    for (std::size_t way = 0; way < 5; ++way) {
        SCOPED_TRACE(way);
        int unloads = 0;
        const auto watch = [&unloads](auto* window) {
            using Window = std::remove_pointer_t<decltype(window)>;
            QObject::connect(window, &Window::unloaded, [&unloads] { ++unloads; });
            return static_cast<QWidget*>(window);
        };
        const QPointer<QWidget> window =
            way < 3 ? watch(new ui::ServersWindow(QIcon())) : watch(new ui::FloaterWindow());
        window->show();
        ends[way % 3](window);
        EXPECT_EQ(unloads, 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(unloads, 1);
        EXPECT_TRUE(window.isNull());
    }
}

TEST(Widgets, ServerListRoundTripsAsCrLfEditsByLineAndLaysOutForItsOuterSize) {
    ui::ServersWindow window{QIcon()};
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    std::string big;
    for (int i = 0; i < 60'000; ++i) {
        big += "server" + std::to_string(i) + ".example\r\n";
    }
    for (const std::string& text :
         {std::string("a.com\r\n\r\nb.com"), std::string(" \ta \r\nb\t"), std::string(), big}) {
        window.setListText(text);
        EXPECT_TRUE(window.listText() == text) << text.substr(0, 20);
    }
    // A big list is held several lines to a block, yet shows and edits line by line.
    QTextCursor cursor(window.textBox()->document());
    cursor.movePosition(QTextCursor::Down, QTextCursor::MoveAnchor, 2);
    cursor.movePosition(QTextCursor::EndOfLine);
    cursor.insertText(QStringLiteral("\n"));
    big.insert(big.find("server3."), "\r\n");
    EXPECT_TRUE(window.listText() == big);
    // The resize rules work on the outer size, borders and title bar included: the designed ones
    // where the desktop reports none.
    window.setWindowFlag(Qt::FramelessWindowHint, true);
    window.show();
    window.resize(twipsToPixels(6000 - 120), twipsToPixels(1200 - 405));
    EXPECT_TRUE(window.layoutTwips().hosts == (ui::Rect{120, 120, 5610, 90}));
    EXPECT_EQ(window.textBox()->geometry(), ui::twipsRect(120, 120, 5610, 90));
    // Twips round to the nearest pixel, so no control drifts a pixel short at any resolution.
    EXPECT_EQ(twipsToPixels(23, 96.0), 2);
    EXPECT_EQ(twipsToPixels(22, 96.0), 1);
}

// The About command waits with the real event loop turning, as it does in the program: the
// responder and the menus keep working, a second About shows the same box, and one OK ends both
// waits. The main window's topmost state is taken away first and given back last.
TEST(Widgets, AboutWaitsWhileTheProgramRunsOn) {
    Harness h;
    ASSERT_FALSE(h.load());
    h.process.onProcessEvents = [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); };
    h.zorder.calls.clear();
    ui::AboutBox* first = nullptr;
    ui::AboutBox* second = nullptr;
    QTimer::singleShot(30, [&] {
        first = h.form->about();
        EXPECT_TRUE(first != nullptr && first->isVisible());
        EXPECT_EQ(h.zorder.topmost[WindowId::Main], false);
        h.listener.connectAndSend();
        h.trigger("menuPicGray2");
        QTimer::singleShot(60, [&] {
            second = h.form->about();
            second->findChild<QPushButton*>("cmdOK")->click();
            EXPECT_FALSE(second->isVisible()) << "OK closes the box";
            second->close();
        });
        h.trigger("menuAbout");
    });
    h.trigger("menuAbout2");
    EXPECT_EQ(first, second);
    EXPECT_EQ(h.form->blockedCount(), 1U);
    EXPECT_TRUE(h.checked("menuPicGray"));
    EXPECT_EQ(h.zorder.calls.front(), std::make_pair(WindowId::Main, false));
    EXPECT_EQ(h.zorder.calls.back(), std::make_pair(WindowId::Main, true));
}

}  // namespace

// Texts may grow about their designed centre where the desktop font is wider, never clipped; the
// main window's caption ends where the counter begins.
TEST(Widgets, TextsFitWhereTheyWereDesigned) {
    ui::AboutBox box{QIcon()};
    box.show();
    for (const auto& [name, twips] : {std::pair{"Label1", QRect(878, 120, 1935, 375)},
                                      std::pair{"Label2", QRect(1298, 600, 1095, 255)}}) {
        const auto* label = box.findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << name;
        const QRect shown = label->geometry();
        const QRect designed = ui::twipsRect(twips.x(), twips.y(), twips.width(), twips.height());
        EXPECT_NEAR(shown.center().x(), designed.center().x(), 1.0) << name;
    }
    ui::MainWindow window;
    window.show();
    const auto* caption = window.findChild<QLabel*>(QStringLiteral("lblBlocked"));
    EXPECT_LE(caption->x() + caption->fontMetrics().horizontalAdvance(caption->text()),
              window.counter()->x());
}

// An XEmbed tray shows the menu itself and opens on a double-click only; a StatusNotifierItem host
// reports its primary click as Trigger and asks for the menu with Context.
TEST(Widgets, TrayClicksDependOnTheKindOfTray) {
    using platform::TrayClick;
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
        EXPECT_EQ(platform::trayClick(row.reason, row.itemHost), row.expected)
            << row.reason << (row.itemHost ? " on an item host" : " on XEmbed");
    }
}
