#pragma once

#include "platform/MessageBox.h"

namespace tessel::platform {

class QtMessageBox final : public MessageBox {
public:
    Answer show(const std::string& prompt, Buttons buttons, Icon icon,
                const std::string& title) override;
};

}  // namespace tessel::platform
