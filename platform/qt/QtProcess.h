#pragma once

#include "platform/Process.h"

namespace tessel::platform {

class QtProcess final : public Process {
public:
    std::string programDirectory() const override;
    std::string hostName() const override;
    void processEvents() override;
    void post(std::function<void()> fn) override;
    [[noreturn]] void endProgram() override;
};

}  // namespace tessel::platform
