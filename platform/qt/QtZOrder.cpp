#include "platform/qt/QtZOrder.h"

#include <QGuiApplication>

namespace tessel::platform {

namespace {

// Wayland leaves stacking to the compositor: the hint is ignored there, and changing it would only
// unmap and map the window again, which throws away where the user put it.
bool canKeepOnTop() {
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

}  // namespace

void QtZOrder::bind(WindowId window, QWidget* widget) {
    windows_.at(static_cast<std::size_t>(window)) = widget;
}

void QtZOrder::setTopmost(WindowId window, bool topmost) {
    if (!canKeepOnTop()) {
        return;
    }
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
