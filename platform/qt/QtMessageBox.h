#pragma once

#include "platform/MessageBox.h"

namespace tessel::platform {

class QtMessageBox final : public MessageBox {
public:
    Answer show(const std::string& prompt, Buttons buttons, Icon icon,
                const std::string& title) override;
    // From now on every box answers as if closed at once, without showing: for the end of the
    // process, when the display may be gone.
    void silence() { silent_ = true; }

private:
    bool silent_ = false;
};

}  // namespace tessel::platform
