#include "ui/HourChart.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace tessel::ui {
namespace {

constexpr int kMargin = 6;

}  // namespace

HourChart::HourChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("chtBlocked"));
    setMinimumHeight(120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void HourChart::setBars(std::vector<Bar> bars) {
    bars_ = std::move(bars);
    max_ = 0;
    for (const Bar& bar : bars_) {
        max_ = std::max(max_, bar.value);
    }
    update();
}

QSize HourChart::sizeHint() const {
    return {600, 160};
}

// One rectangle per bar, however many there are: a few hundred fills cost well under a
// millisecond, and nothing is laid out again while the chart is painted.
void HourChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Base));
    const int line = fontMetrics().height();
    const QRectF plot(kMargin, kMargin + line, width() - 2 * kMargin,
                      height() - 2 * kMargin - 2 * line);
    painter.setPen(colours.color(QPalette::Text));
    painter.drawText(
        QRectF(kMargin, kMargin, plot.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
        max_ == 0 ? QStringLiteral("Nothing blocked") : QStringLiteral("Highest: %1").arg(max_));
    if (bars_.empty() || plot.height() <= 0) {
        return;
    }
    const double step = plot.width() / static_cast<double>(bars_.size());
    const double gap = step >= 4 ? 1 : 0;
    const QColor fill = colours.color(QPalette::Highlight);
    for (std::size_t at = 0; at < bars_.size() && max_ != 0; ++at) {
        const double tall =
            plot.height() * static_cast<double>(bars_[at].value) / static_cast<double>(max_);
        painter.fillRect(QRectF(plot.left() + step * static_cast<double>(at), plot.bottom() - tall,
                                step - gap, tall),
                         fill);
    }
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    drawLabels(painter, plot);
}

// A label goes under the bar it belongs to, with a tick, unless it would run into the last one
// drawn.
void HourChart::drawLabels(QPainter& painter, const QRectF& plot) const {
    const double step = plot.width() / static_cast<double>(bars_.size());
    const QColor text = palette().color(QPalette::Text);
    const QColor tick = palette().color(QPalette::Mid);
    double freeFrom = 0;
    for (std::size_t at = 0; at < bars_.size(); ++at) {
        if (bars_[at].label.isEmpty()) {
            continue;
        }
        const double x = plot.left() + step * static_cast<double>(at);
        const int wide = fontMetrics().horizontalAdvance(bars_[at].label);
        if (x < freeFrom || x + wide > width()) {
            continue;
        }
        painter.setPen(tick);
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 4));
        painter.setPen(text);
        painter.drawText(QPointF(x, plot.bottom() + 4 + fontMetrics().ascent()), bars_[at].label);
        freeFrom = x + wide + fontMetrics().averageCharWidth();
    }
}

}  // namespace tessel::ui
