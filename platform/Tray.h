#pragma once

#include <functional>
#include <string>

namespace tessel::platform {

enum class TrayPicture { Running, Paused };

// The one notification-area icon. Calls on an icon that is absent are ignored.
class Tray {
public:
    virtual ~Tray() = default;
    virtual void add(TrayPicture picture, const std::string& tip) = 0;
    virtual void modifyTip(const std::string& tip) = 0;
    virtual void setPicture(TrayPicture picture) = 0;
    virtual void remove() = 0;

    // Raised by a left double-click on an XEmbed tray's icon, or by the primary click of a
    // StatusNotifierItem host (its Activate), which reports no double-clicks.
    std::function<void()> onOpen;
};

}  // namespace tessel::platform
