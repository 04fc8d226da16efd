#pragma once

#include <QIcon>
#include <QObject>
#include <memory>

#include "platform/Window.h"

class QMenu;
class QSystemTrayIcon;

namespace tessel::platform {

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

    QIcon running_;
    QIcon paused_;
    QMenu* menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
};

}  // namespace tessel::platform
