#pragma once

namespace tessel::platform {

class SingleInstance {
public:
    virtual ~SingleInstance() = default;
    // Whether another instance of the program already runs; claims the instance otherwise.
    virtual bool previousInstance() = 0;
};

}  // namespace tessel::platform
