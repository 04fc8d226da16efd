#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "core/ProgramPaths.h"

namespace tessel::platform {

// The running program: where it lives, its event loop, and its end.
class Process {
public:
    virtual ~Process() = default;
    // The directory of the executable, without a trailing separator.
    virtual std::string programDirectory() const = 0;
    // Where the files the program writes live, when not in data/ beside it; empty otherwise.
    virtual std::string userFiles() const { return {}; }
    core::ProgramPaths paths() const { return {programDirectory(), userFiles()}; }
    // This machine's name, as the system reports it.
    virtual std::string hostName() const = 0;
    // Lets the window events that are waiting run (waiting for one if none is), then returns.
    virtual void processEvents() = 0;
    // Calls tick every interval, from the event loop, until it returns false. There is one such
    // ticker: a call while it runs replaces its function, and an empty function stops it.
    virtual void repeat(std::chrono::milliseconds interval, std::function<bool()> tick) = 0;
    // Ends the program once its caller has returned to the event loop (or, before the loop runs,
    // once start-up sees `ending`): the loop returns from main and every destructor runs. No
    // message box shows after it.
    virtual void quit() = 0;
    virtual bool ending() const = 0;
};

}  // namespace tessel::platform
