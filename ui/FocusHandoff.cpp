#include "ui/FocusHandoff.h"

#include <QEvent>

namespace tessel::ui {

FocusHandoff::FocusHandoff(QWidget* counter, QWidget* focusBox)
    : QObject(counter), focusBox_(focusBox) {
    counter->installEventFilter(this);
}

bool FocusHandoff::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && focusBox_ != nullptr) {
        focusBox_->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tessel::ui
