#pragma once

#include <functional>

namespace tessel::platform {

// Long list work away from the window's thread. Jobs run one at a time, in the order given, on a
// thread of the worker's own; each one's `done` then runs on the thread that posted it, from its
// event loop. A job touches only what it was given and what no other thread changes meanwhile.
class Worker {
public:
    virtual ~Worker() = default;
    virtual void post(std::function<void()> job, std::function<void()> done) = 0;
    // Every job posted so far run to its end, its `done` included: what must come after them in
    // order (a pause, the exit) calls this first.
    virtual void finish() = 0;
};

}  // namespace tessel::platform
