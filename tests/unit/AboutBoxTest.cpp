#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <ostream>

#include "ui/AboutBox.h"
#include "ui/Pictures.h"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

using tessel::platform::TrayPicture;
using tessel::ui::AboutBox;
using tessel::ui::trayIcon;
using tessel::ui::twipsToPixels;

namespace {

int px(int twips) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return twipsToPixels(twips, screen != nullptr ? screen->logicalDotsPerInchX() : 96.0);
}

QString focusName() {
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName() : QStringLiteral("(nothing)");
}

class AboutBoxTest : public ::testing::Test {
protected:
    void TearDown() override {
        delete box.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    template <typename Control>
    Control* control(const char* name) const {
        return box->findChild<Control*>(name);
    }

    QPointer<AboutBox> box = new AboutBox(trayIcon(TrayPicture::Running));
};

TEST_F(AboutBoxTest, IsAFixedModelessDialog) {
    EXPECT_EQ(box->windowTitle(), "About...");
    EXPECT_FALSE(box->isModal());
    const Qt::WindowFlags flags = box->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(box->minimumSize(), QSize(px(3690), px(3540)));
    EXPECT_EQ(box->maximumSize(), QSize(px(3690), px(3540)));
}

TEST_F(AboutBoxTest, ShowsTheIconItWasGiven) {
    const QImage shown = box->windowIcon().pixmap(16, 16).toImage();
    const QImage given = trayIcon(TrayPicture::Running).pixmap(16, 16).toImage();
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
              given.convertToFormat(QImage::Format_ARGB32));
}

TEST_F(AboutBoxTest, ControlsKeepTheirRowsAndCentres) {
    struct Place {
        const char* name;
        QRect twips;
    };
    // Texts may grow about their centre where the desktop font is wider; the rows stay put.
    const Place places[] = {
        {"cmdOK", {1298, 3000, 1095, 375}}, {"Text2", {518, 2640, 2655, 285}},
        {"Label1", {878, 120, 1935, 375}},  {"Label2", {1298, 600, 1095, 255}},
        {"Text3", {998, 840, 1695, 195}},
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        const QWidget* widget = control<QWidget>(place.name);
        ASSERT_NE(widget, nullptr);
        const QRect& t = place.twips;
        const QRect shown = widget->geometry();
        EXPECT_EQ(shown.y(), px(t.y()));
        EXPECT_EQ(shown.height(), px(t.height()));
        EXPECT_GE(shown.width(), px(t.width()));
        EXPECT_NEAR(shown.x() + shown.width() / 2.0, px(t.x()) + px(t.width()) / 2.0, 1.0);
    }
    EXPECT_EQ(control<QWidget>("cmdOK")->geometry(), QRect(px(1298), px(3000), px(1095), px(375)));
}

TEST_F(AboutBoxTest, TextsAreFixedAndNotClipped) {
    EXPECT_EQ(control<QPushButton>("cmdOK")->text(), "&OK");
    const QLabel* title = control<QLabel>("Label1");
    EXPECT_EQ(title->text(), "Tessel 2.1.1");
    EXPECT_EQ(title->font().pointSize(), 18);
    EXPECT_EQ(title->font().styleHint(), QFont::Serif);
    for (const char* name : {"Label1", "Label2"}) {
        const QLabel* label = control<QLabel>(name);
        EXPECT_FALSE(label->text().isEmpty()) << name;
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << name;
    }
}

TEST_F(AboutBoxTest, ContactLinesLookLikeLabelsButCanBeCopied) {
    for (const char* name : {"Text2", "Text3"}) {
        SCOPED_TRACE(name);
        const QLineEdit* line = control<QLineEdit>(name);
        ASSERT_NE(line, nullptr);
        EXPECT_FALSE(line->text().isEmpty());
        EXPECT_TRUE(line->isReadOnly());
        EXPECT_FALSE(line->focusPolicy() & Qt::TabFocus) << "not a tab stop";
        EXPECT_EQ(line->palette().color(QPalette::Base), box->palette().color(QPalette::Button));
    }
}

TEST_F(AboutBoxTest, OkHasTheFocusAndClosesTheBox) {
    box->show();
    box->activateWindow();
    for (int pass = 0; pass < 100 && !box->isActiveWindow(); ++pass) {
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(box->isActiveWindow());
    EXPECT_EQ(focusName(), "cmdOK");
    control<QPushButton>("cmdOK")->click();
    EXPECT_FALSE(box->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(box.isNull()) << "destroyed when closed";
}

}  // namespace
