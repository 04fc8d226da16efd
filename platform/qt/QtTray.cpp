#include "platform/qt/QtTray.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include "platform/qt/Text.h"

namespace tessel::platform {

QtTray::QtTray(QIcon running, QIcon paused, QMenu* menu)
    : running_(std::move(running)), paused_(std::move(paused)), menu_(menu) {}

QtTray::~QtTray() = default;

const QIcon& QtTray::icon(TrayPicture picture) const {
    return picture == TrayPicture::Running ? running_ : paused_;
}

void QtTray::add(TrayPicture picture, const std::string& tip) {
    if (icon_) {
        return;
    }
    icon_ = std::make_unique<QSystemTrayIcon>(icon(picture));
    icon_->setToolTip(toDisplay(tip));
    // The context menu opens on the right button's release; a single left click does nothing.
    icon_->setContextMenu(menu_);
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick && onOpen) {
                    onOpen();
                }
            });
    icon_->show();
}

void QtTray::modifyTip(const std::string& tip) {
    if (icon_) {
        icon_->setToolTip(toDisplay(tip));
    }
}

void QtTray::setPicture(TrayPicture picture) {
    if (icon_) {
        icon_->setIcon(icon(picture));
    }
}

void QtTray::remove() {
    if (icon_) {
        icon_->hide();
        icon_.reset();
    }
}

bool QtTray::isShown() const {
    return icon_ && icon_->isVisible();
}

}  // namespace tessel::platform
