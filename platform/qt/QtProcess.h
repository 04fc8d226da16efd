#pragma once

#include <memory>

#include "platform/Process.h"

class QTimer;

namespace tessel::platform {

class QtProcess final : public Process {
public:
    QtProcess();
    ~QtProcess() override;
    std::string programDirectory() const override;
    std::string hostName() const override;
    void processEvents() override;
    void repeat(std::chrono::milliseconds interval, std::function<bool()> tick) override;
    [[noreturn]] void endProgram() override;

private:
    std::unique_ptr<QTimer> timer_;
    std::function<bool()> tick_;
};

}  // namespace tessel::platform
