#include "ui/FloaterWindow.h"

#include "ui/FocusHandoff.h"

#include <QEvent>
#include <QFont>
#include <QLineEdit>
#include <algorithm>

#include "ui/CounterWidth.h"
#include "ui/Pictures.h"

namespace tessel::ui {
namespace {

constexpr int kClientWidth = 855;
constexpr int kClientHeight = 735;
// From the hundredth connection on; the wider box is still centred in the client area.
constexpr int kWideWidth = 615;
constexpr int kWideLeft = 120;
constexpr double kCounterPointSize = 13.5;

// Where the classic family is missing, the style hint picks the desktop's sans-serif face.
QFont counterFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kCounterPointSize);
    font.setWeight(QFont::Normal);
    return font;
}

}  // namespace

FloaterWindow::FloaterWindow(QWidget* parent)
    : UnloadingWindow(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                                  Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Tessel"));
    setWindowIcon(trayIcon(platform::TrayPicture::Paused));
    setFixedSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));

    // First in the tab order, so it takes the focus when the window opens; created before the
    // counter, which then covers it completely.
    hidden_ = new QLineEdit(QStringLiteral("Text2"), this);
    hidden_->setObjectName(QStringLiteral("txtFloatHidden"));
    hidden_->setGeometry(twipsRect(360, 120, 150, 195));

    counter_ = new QLineEdit(QStringLiteral("0"), this);
    counter_->setObjectName(QStringLiteral("txtBlocked"));
    counter_->setReadOnly(true);
    counter_->setAlignment(Qt::AlignCenter);
    counter_->setFont(counterFont());
    counter_->setGeometry(twipsRect(180, 120, 495, 495));
    new FocusHandoff(counter_, hidden_);
    setTabOrder(hidden_, counter_);
}

QLineEdit* FloaterWindow::counter() const {
    return counter_;
}

void FloaterWindow::setCounterText(const QString& text) {
    counter_->setText(text);
    fitCount();
}

// Width first, then left: the box grows to the right, then moves back to the centre. A box that
// has grown wider already for a long count keeps the extra width.
void FloaterWindow::widenTextBox() {
    const int extra = std::max(0, counter_->width() - twipsToPixels(kWideWidth));
    setFixedWidth(twipsToPixels(kClientWidth) + extra);
    counter_->resize(twipsToPixels(kWideWidth) + extra, counter_->height());
    counter_->move(twipsToPixels(kWideLeft), counter_->y());
    fitCount();
}

// A count too long for the box widens the box and the window alike, so the margins and the
// centring stay; neither narrows again.
void FloaterWindow::fitCount() {
    const int extra = missingWidth(*counter_);
    if (extra == 0) {
        return;
    }
    setFixedWidth(width() + extra);
    counter_->resize(counter_->width() + extra, counter_->height());
}

void FloaterWindow::resetToZero() {
    counter_->setText(QStringLiteral("0"));
}

}  // namespace tessel::ui
