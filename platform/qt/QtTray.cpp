#include "platform/qt/QtTray.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QMenu>

#include "platform/qt/Text.h"

namespace tessel::platform {

namespace {

// Qt draws the icon as a StatusNotifierItem when, as its first icon is made, a host has registered
// with the watcher on the session bus, and as an XEmbed icon otherwise. The two report clicks
// differently, so the question is asked the way Qt asks it, and like Qt only once.
bool itemHostRegistered() {
    static const bool registered = [] {
        const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
        QDBusInterface watcher(watcherName, QStringLiteral("/StatusNotifierWatcher"), watcherName,
                               QDBusConnection::sessionBus());
        return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
    }();
    return registered;
}

}  // namespace

TrayClick trayClick(QSystemTrayIcon::ActivationReason reason, bool itemHost) {
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            return TrayClick::Open;
        case QSystemTrayIcon::Trigger:
            return itemHost ? TrayClick::Open : TrayClick::None;
        case QSystemTrayIcon::Context:
            return itemHost ? TrayClick::Menu : TrayClick::None;
        default:
            return TrayClick::None;
    }
}

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
    itemHost_ = itemHostRegistered();
    // Without a StatusNotifierItem host only an X11 tray can take the icon; on a Wayland desktop
    // without one Qt would merely complain, so the program runs on without an icon.
    if (!itemHost_ && QGuiApplication::platformName() != QStringLiteral("xcb")) {
        return;
    }
    icon_ = std::make_unique<QSystemTrayIcon>(icon(picture));
    icon_->setToolTip(toDisplay(tip));
    icon_->setContextMenu(menu_);
    connect(icon_.get(), &QSystemTrayIcon::activated, this, &QtTray::activated);
    icon_->show();
}

void QtTray::activated(QSystemTrayIcon::ActivationReason reason) {
    switch (trayClick(reason, itemHost_)) {
        case TrayClick::Open:
            if (onOpen) {
                onOpen();
            }
            break;
        case TrayClick::Menu:
            // Without a window to hang from, the menu is a window of its own on Wayland; a fixed
            // size keeps a tiling compositor from stretching it over the screen.
            menu_->setFixedSize(menu_->sizeHint());
            menu_->popup(QCursor::pos());
            break;
        case TrayClick::None:
            break;
    }
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
