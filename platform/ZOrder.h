#pragma once

namespace tessel::platform {

enum class WindowId { Main, Floater, Servers, About };

// Whether a window stays above normal windows; nothing else about it changes.
class ZOrder {
public:
    virtual ~ZOrder() = default;
    virtual void setTopmost(WindowId window, bool topmost) = 0;
};

}  // namespace tessel::platform
