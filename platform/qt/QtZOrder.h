#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

#include "platform/Tray.h"
#include "platform/ZOrder.h"

namespace tessel::platform {

class QtZOrder final : public ZOrder {
public:
    void bind(WindowId window, QWidget* widget);
    void setTopmost(WindowId window, bool topmost) override;

    // Finds windows that come and go (the floating counter) when they were not bound.
    std::function<QWidget*(WindowId)> resolve;

private:
    std::array<QPointer<QWidget>, 4> windows_;
};

}  // namespace tessel::platform
