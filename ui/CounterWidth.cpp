#include "ui/CounterWidth.h"

#include <QFontMetricsF>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>

namespace tessel::ui {
namespace {

// QLineEdit keeps this margin inside its contents on either side, and scrolls as soon as the text
// and its one-pixel caret no longer fit in what is left.
constexpr int kLineEditMargin = 2;
constexpr int kCaretWidth = 1;

}  // namespace

int missingWidth(const QLineEdit& box) {
    const QMargins text = box.textMargins();
    const QMargins contents = box.contentsMargins();
    // Rounded as the line edit rounds its own text width.
    const int textWidth =
        static_cast<int>(std::lround(QFontMetricsF(box.font()).horizontalAdvance(box.text())));
    const int inner = textWidth + 2 * kLineEditMargin + kCaretWidth + text.left() + text.right() +
                      contents.left() + contents.right();
    // The style adds its frame, as it does for the line edit's own size hint.
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.lineWidth =
        box.hasFrame() ? box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box) : 0;
    const QSize needed = box.style()->sizeFromContents(QStyle::CT_LineEdit, &option,
                                                       QSize(inner, box.height()), &box);
    return std::max(0, needed.width() - box.width());
}

}  // namespace tessel::ui
