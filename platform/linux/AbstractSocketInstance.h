#pragma once

#include <string>

#include "platform/Process.h"
#include "platform/SingleInstance.h"

namespace tessel::platform {

// One instance per machine (per network namespace): the first instance holds an abstract Unix
// socket name, which the kernel releases when the process ends however it ends. No file is left.
class AbstractSocketInstance final : public SingleInstance {
public:
    explicit AbstractSocketInstance(std::string name);
    ~AbstractSocketInstance() override;
    AbstractSocketInstance(const AbstractSocketInstance&) = delete;
    AbstractSocketInstance& operator=(const AbstractSocketInstance&) = delete;

    bool previousInstance() override;

private:
    std::string name_;
    int fd_ = -1;
};

}  // namespace tessel::platform
