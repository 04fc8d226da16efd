#pragma once

#include <QtGlobal>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <thread>

#include "platform/Worker.h"

class QSocketNotifier;

namespace tessel::platform {

// Jobs on a thread of the worker's own, one at a time; each `done` comes back through the posting
// thread's event loop. The two threads share one job slot, handed over as the listener's commands
// are: written before an atomic says so, read after it; an eventfd wakes each side.
class QtWorker final : public Worker {
public:
    QtWorker();
    ~QtWorker() override;
    Q_DISABLE_COPY_MOVE(QtWorker)

    void post(std::function<void()> job, std::function<void()> done) override;
    void finish() override;

private:
    struct Task final {
        std::function<void()> job;
        std::function<void()> done;
    };
    void run();
    void startNext();
    void completed();

    const int wake_;             // the worker waits on it
    const int finished_;         // readable once a job is done, watched here
    std::function<void()> job_;  // the slot: the worker's from `posted_` until `done_`
    std::atomic<std::uint64_t> posted_{0};
    std::atomic<std::uint64_t> done_{0};
    std::atomic<bool> stopping_{false};
    std::deque<Task> waiting_;
    std::function<void()> running_;  // the `done` of the job in the slot
    bool busy_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::thread thread_;  // last: it starts once everything above is set
};

}  // namespace tessel::platform
