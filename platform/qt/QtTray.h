#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

#include "platform/Tray.h"
#include "platform/ZOrder.h"

class QMenu;

namespace tessel::platform {

enum class TrayClick { None, Open, Menu };

// What a click on the icon asks for. An XEmbed tray reports every click and shows the context menu
// itself; a StatusNotifierItem host reports its primary click as Trigger (Activate) and never a
// double-click, and a host that does not draw the exported menu asks for it with Context.
TrayClick trayClick(QSystemTrayIcon::ActivationReason reason, bool itemHost);

// The notification-area icon. Where the desktop has no notification area the icon is simply not
// shown and the program runs on without it.
class QtTray final : public QObject, public Tray {
    Q_OBJECT
public:
    QtTray(QIcon running, QIcon paused, QMenu* menu);
    ~QtTray() override;

    void add(TrayPicture picture, const std::string& tip) override;
    void modifyTip(const std::string& tip) override;
    void setPicture(TrayPicture picture) override;
    void remove() override;

    bool isShown() const;

private:
    const QIcon& icon(TrayPicture picture) const;
    void activated(QSystemTrayIcon::ActivationReason reason);

    QIcon running_;
    QIcon paused_;
    QMenu* menu_;
    bool itemHost_ = false;
    std::unique_ptr<QSystemTrayIcon> icon_;
};

}  // namespace tessel::platform
