#include "ui/ServersWindow.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

#include "platform/qt/Text.h"
#include "ui/Pictures.h"

namespace tessel::ui {
namespace {

// The window as designed: its client area, and the borders and title bar around it.
constexpr int kClientWidth = 5310;
constexpr int kClientHeight = 6105;
constexpr int kFrameWidth = 120;
constexpr int kFrameHeight = 405;

// The inverse of twipsToPixels, at whatever resolution that one uses.
int pixelsToTwips(int pixels) {
    const double pixelsPerInch = twipsToPixels(1440);
    return static_cast<int>(std::lround(pixels * 1440.0 / pixelsPerInch));
}

// A text box holding a million lines is slow to fill and to resize, and the cost is per block
// (paragraph), not per character. Big lists therefore go in with several lines to a block, the
// lines inside a block divided by line separators: they show and edit as separate lines, and
// toPlainText gives them back as plain line breaks. Small lists keep one line to a block, so a
// triple click still selects exactly one name.
constexpr qsizetype kGroupFromLines = 50'000;
constexpr qsizetype kLinesPerBlock = 16;

void groupLines(QString& text) {
    if (text.count(QLatin1Char('\n')) < kGroupFromLines) {
        return;
    }
    qsizetype line = 0;
    for (QChar& c : text) {
        if (c == QLatin1Char('\n') && ++line % kLinesPerBlock != 0) {
            c = QChar::LineSeparator;
        }
    }
}

QRect pixelRect(const Rect& twips) {
    // A window made very narrow or low would give negative sizes; the controls just vanish then.
    return {twipsToPixels(twips.left), twipsToPixels(twips.top),
            std::max(0, twipsToPixels(twips.width)), std::max(0, twipsToPixels(twips.height))};
}

}  // namespace

ServersWindow::ServersWindow(const QIcon& icon, QWidget* parent)
    : UnloadingWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                  Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Filtered Servers"));
    setWindowIcon(icon);

    hosts_ = new QPlainTextEdit(this);
    hosts_->setObjectName(QStringLiteral("txtHosts"));
    hosts_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // One name per line, as the file holds it; wrapping would also make big lists slow to lay out.
    hosts_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves on to the buttons, as in the other windows; a name never holds a tab.
    hosts_->setTabChangesFocus(true);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cmdCancel"));
    setTabOrder(hosts_, ok_);
    setTabOrder(ok_, cancel_);

    connect(ok_, &QPushButton::clicked, this, &ServersWindow::okClicked);
    connect(cancel_, &QPushButton::clicked, this, &ServersWindow::close);

    applyLayout();
    resize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
    hosts_->setFocus();
}

void ServersWindow::setListText(const std::string& text) {
    QString display = platform::toDisplay(text);
    groupLines(display);
    // Loading is not an edit the user could undo, nor should what was there before it be.
    hosts_->setUndoRedoEnabled(false);
    hosts_->setPlainText(display);
    hosts_->setUndoRedoEnabled(true);
}

std::string ServersWindow::listText() const {
    return platform::fromDisplay(hosts_->toPlainText());
}

QPlainTextEdit* ServersWindow::textBox() const {
    return hosts_;
}

void ServersWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The rules work on the outer size, borders and title bar included.
    const QSize frame = frameGeometry().size() - geometry().size();
    int frameWidth = pixelsToTwips(frame.width());
    int frameHeight = pixelsToTwips(frame.height());
    if (frame.width() <= 0 && frame.height() <= 0) {
        frameWidth = kFrameWidth;
        frameHeight = kFrameHeight;
    }
    layout_ = resizeEditor(layout_, pixelsToTwips(event->size().width()) + frameWidth,
                           pixelsToTwips(event->size().height()) + frameHeight);
    applyLayout();
}

void ServersWindow::applyLayout() {
    hosts_->setGeometry(pixelRect(layout_.hosts));
    ok_->setGeometry(pixelRect(layout_.ok));
    cancel_->setGeometry(pixelRect(layout_.cancel));
}

}  // namespace tessel::ui
