#pragma once

#include <functional>
#include <string>

namespace tessel::platform {

// The running program: where it lives, its event loop, and its end.
class Process {
public:
    virtual ~Process() = default;
    // The directory of the executable, without a trailing separator.
    virtual std::string programDirectory() const = 0;
    // This machine's name, as the system reports it.
    virtual std::string hostName() const = 0;
    // Lets the window events that are waiting run (waiting for one if none is), then returns.
    virtual void processEvents() = 0;
    // Runs fn once the current event has been handled (once per pass of the event loop).
    virtual void post(std::function<void()> fn) = 0;
    // Stops at once: no close event of any window runs and nothing after the call runs.
    [[noreturn]] virtual void endProgram() = 0;
};

}  // namespace tessel::platform
