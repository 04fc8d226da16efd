#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/Process.h"

class QTimer;

namespace tessel::platform {

class QtProcess final : public Process {
public:
    QtProcess();
    ~QtProcess() override;
    std::string programDirectory() const override;
    std::string userFiles() const override { return userFiles_; }
    void useUserFiles(std::string directory) { userFiles_ = std::move(directory); }
    std::string hostName() const override;
    void processEvents() override;
    void repeat(std::chrono::milliseconds interval, std::function<bool()> tick) override;
    void quit() override;
    bool ending() const override { return ending_; }

private:
    std::unique_ptr<QTimer> timer_;
    std::function<bool()> tick_;
    std::string userFiles_;
    bool ending_ = false;
};

}  // namespace tessel::platform
