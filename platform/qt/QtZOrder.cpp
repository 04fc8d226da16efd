#include "platform/qt/QtZOrder.h"

namespace tessel::platform {

void QtZOrder::bind(WindowId window, QWidget* widget) {
    windows_.at(static_cast<std::size_t>(window)) = widget;
}

void QtZOrder::setTopmost(WindowId window, bool topmost) {
    QWidget* widget = windows_.at(static_cast<std::size_t>(window));
    if (widget == nullptr && resolve) {
        widget = resolve(window);
    }
    if (widget == nullptr || widget->testAttribute(Qt::WA_DontShowOnScreen) ||
        widget->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topmost) {
        return;
    }
    // Changing a window flag re-creates the native window and hides it; only the z-order may
    // change.
    const bool visible = widget->isVisible();
    const QRect geometry = widget->geometry();
    widget->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    if (visible) {
        widget->setGeometry(geometry);
        widget->show();
    }
}

}  // namespace tessel::platform
