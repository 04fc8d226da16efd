#pragma once

#include <QFuture>
#include <QObject>
#include <QThreadPool>
#include <cstdint>
#include <deque>

#include "platform/Worker.h"

namespace tessel::platform {

// Jobs on one pool thread; each `done` comes back through the posting thread's event loop.
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
    void startNext();
    void completed(std::uint64_t number);

    QThreadPool pool_;
    QObject context_;  // where the finished jobs' calls arrive
    std::deque<Task> waiting_;
    Task running_;
    QFuture<void> future_;
    std::uint64_t number_ = 0;  // of the job running, or of the last one run
    bool busy_ = false;
};

}  // namespace tessel::platform
