#include "ui/UnloadingWindow.h"

#include <QCloseEvent>

namespace tessel::ui {

UnloadingWindow::UnloadingWindow(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
    setAttribute(Qt::WA_DeleteOnClose);
}

UnloadingWindow::~UnloadingWindow() {
    announceUnload();
}

void UnloadingWindow::bringToFront() {
    show();
    raise();
    activateWindow();
}

void UnloadingWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) {
        announceUnload();
    }
}

void UnloadingWindow::announceUnload() {
    if (!unloadAnnounced_) {
        unloadAnnounced_ = true;
        emit unloaded();
    }
}

}  // namespace tessel::ui
