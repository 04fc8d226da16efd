#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <string>
#include <vector>

#include "ui/Pictures.h"
#include "ui/ServersWindow.h"

using tessel::ui::EditorLayout;
using tessel::ui::ServersWindow;
using tessel::ui::twipsToPixels;

namespace {

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template <typename T>
T* child(const QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

TEST(ServersWindow, IsASizableNonModalTopLevelWindow) {
    ServersWindow window{QIcon()};
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Filtered Servers"));
    EXPECT_EQ(window.windowType(), Qt::Window);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window.windowModality(), Qt::NonModal);
    EXPECT_TRUE(window.testAttribute(Qt::WA_DeleteOnClose));
    window.setAttribute(Qt::WA_DeleteOnClose, false);  // on the stack here
}

TEST(ServersWindow, ControlsInTabOrder) {
    ServersWindow window{QIcon()};
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    auto* hosts = child<QPlainTextEdit>(window, "txtHosts");
    auto* ok = child<QPushButton>(window, "cmdOK");
    auto* cancel = child<QPushButton>(window, "cmdCancel");
    ASSERT_NE(hosts, nullptr);
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(hosts, window.textBox());
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(hosts->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(hosts->lineWrapMode(), QPlainTextEdit::NoWrap);

    std::vector<QWidget*> stops;
    for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) != 0) {
            stops.push_back(w);
        }
    }
    EXPECT_EQ(stops, (std::vector<QWidget*>{hosts, ok, cancel}));
}

struct GeometryRow {
    const char* name;
    bool frameless;  // the platform reports no frame: the designed borders and title bar count
    int outerWidth;
    int outerHeight;
    EditorLayout layout;
    QRect hostsPixels;
};

class ServersWindowGeometry : public ::testing::TestWithParam<GeometryRow> {};

TEST_P(ServersWindowGeometry, LaysOutForOuterSize) {
    const GeometryRow& row = GetParam();
    ServersWindow window{QIcon()};
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.setWindowFlag(Qt::FramelessWindowHint, row.frameless);
    window.show();
    QApplication::processEvents();
    QSize frame = window.frameGeometry().size() - window.geometry().size();
    if (row.frameless) {
        ASSERT_TRUE(frame.isNull());
        frame = {twipsToPixels(120), twipsToPixels(405)};
    }
    window.resize(twipsToPixels(row.outerWidth) - frame.width(),
                  twipsToPixels(row.outerHeight) - frame.height());
    QApplication::processEvents();
    EXPECT_EQ(window.layoutTwips(), row.layout);
    EXPECT_EQ(window.textBox()->geometry(), row.hostsPixels);
}

const EditorLayout kDesign{};

INSTANTIATE_TEST_SUITE_P(
    Sizes, ServersWindowGeometry,
    ::testing::Values(
        GeometryRow{"DesignSize", false, 5430, 6510, kDesign, {8, 8, 336, 360}},
        GeometryRow{"Larger",
                    false,
                    8010,
                    9000,
                    {{120, 120, 7620, 7890}, {5220, 8130, 1095, 375}, {6540, 8130, 1095, 375}},
                    {8, 8, 508, 526}},
        GeometryRow{"DesignSizeWithoutFrame", true, 5430, 6510, kDesign, {8, 8, 336, 360}},
        GeometryRow{"LowWithoutFrame",
                    true,
                    6000,
                    1200,
                    {{120, 120, 5610, 90}, {3210, 5640, 1095, 375}, {4530, 5640, 1095, 375}},
                    {8, 8, 374, 6}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ServersWindow, OkReportsAndStaysOpen) {
    QPointer<ServersWindow> window = new ServersWindow(QIcon());
    int ok = 0;
    int unloaded = 0;
    QObject::connect(window.data(), &ServersWindow::okClicked, [&ok] { ++ok; });
    QObject::connect(window.data(), &ServersWindow::unloaded, [&unloaded] { ++unloaded; });
    window->show();
    child<QPushButton>(*window, "cmdOK")->click();
    flushDeletes();
    ASSERT_FALSE(window.isNull());
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(unloaded, 0);
    EXPECT_TRUE(window->isVisible());
    delete window.data();
}

enum class Ending { CancelButton, CloseBox, Destroyed };

class ServersWindowEnding : public ::testing::TestWithParam<Ending> {};

TEST_P(ServersWindowEnding, UnloadsOnce) {
    QPointer<ServersWindow> window = new ServersWindow(QIcon());
    int unloaded = 0;
    QObject::connect(window.data(), &ServersWindow::unloaded, [&unloaded] { ++unloaded; });
    window->show();
    QApplication::processEvents();
    switch (GetParam()) {
        case Ending::CancelButton:
            child<QPushButton>(*window, "cmdCancel")->click();
            EXPECT_FALSE(window->isVisible());
            break;
        case Ending::CloseBox:
            window->close();
            break;
        case Ending::Destroyed:
            delete window.data();
            break;
    }
    EXPECT_EQ(unloaded, 1);
    flushDeletes();
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(unloaded, 1);
}

INSTANTIATE_TEST_SUITE_P(Ways, ServersWindowEnding,
                         ::testing::Values(Ending::CancelButton, Ending::CloseBox,
                                           Ending::Destroyed));

struct TextRow {
    const char* name;
    std::string bytes;
    int lines;
};

class ServersWindowText : public ::testing::TestWithParam<TextRow> {};

TEST_P(ServersWindowText, RoundTripsCrLfBytes) {
    ServersWindow window{QIcon()};
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.setListText(GetParam().bytes);
    EXPECT_EQ(window.textBox()->blockCount(), GetParam().lines);
    EXPECT_EQ(window.listText(), GetParam().bytes);
    // Filling the box is not an edit the user could take back.
    EXPECT_FALSE(window.textBox()->document()->isUndoAvailable());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ServersWindowText,
    ::testing::Values(TextRow{"Names", "a.com\r\nb.com\r\nc.com", 3},
                      TextRow{"EmptyLinesAndTrailingBreak", "a.com\r\n\r\nb.com\r\n", 4},
                      TextRow{"SpacesAndTabs", " \ta.com \r\nb.com\t", 2}, TextRow{"Empty", "", 1}),
    [](const auto& param) { return std::string(param.param.name); });

std::string numberedLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += (i == 0 ? "" : "\r\n") + std::string("server") + std::to_string(i) + ".example";
    }
    return text;
}

TEST(ServersWindow, BigListRoundTripsAndEditsByLine) {
    const std::string text = numberedLines(60'000);
    ServersWindow window{QIcon()};
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.setListText(text);
    EXPECT_EQ(window.listText(), text);
    EXPECT_EQ(window.textBox()->textCursor().position(), 0);  // the list shows from its top

    QTextCursor cursor(window.textBox()->document());
    cursor.movePosition(QTextCursor::Down, QTextCursor::MoveAnchor, 2);
    cursor.movePosition(QTextCursor::EndOfLine);
    cursor.insertText(QStringLiteral("\n"));
    std::string expected = text;
    expected.insert(expected.find("server3.example"), "\r\n");
    EXPECT_EQ(window.listText(), expected);
}

TEST(ServersWindow, TypedLineBreaksComeBackAsCrLf) {
    ServersWindow window{QIcon()};
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.textBox()->setPlainText(QStringLiteral("a.com\n\nb.com\n"));
    EXPECT_EQ(window.listText(), "a.com\r\n\r\nb.com\r\n");
}

}  // namespace
