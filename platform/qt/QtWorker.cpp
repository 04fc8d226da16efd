#include "platform/qt/QtWorker.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "platform/linux/EventFd.h"

namespace tessel::platform {

QtWorker::QtWorker()
    : wake_(::eventfd(0, EFD_CLOEXEC)),
      finished_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      notifier_(std::make_unique<QSocketNotifier>(finished_, QSocketNotifier::Read)),
      thread_([this] { run(); }) {
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        clear(finished_);
        completed();
    });
}

QtWorker::~QtWorker() {
    notifier_.reset();
    stopping_ = true;
    ring(wake_);
    thread_.join();
    ::close(wake_);
    ::close(finished_);
}

void QtWorker::run() {
    while (true) {
        clear(wake_);
        if (stopping_) {
            return;
        }
        const std::uint64_t number = posted_.load(std::memory_order_acquire);
        if (number == done_.load(std::memory_order_relaxed)) {
            continue;
        }
        job_();
        job_ = nullptr;  // what it holds goes here, before the slot is handed back
        done_.store(number, std::memory_order_release);
        ring(finished_);
    }
}

void QtWorker::post(std::function<void()> job, std::function<void()> done) {
    waiting_.push_back({std::move(job), std::move(done)});
    if (!busy_) {
        startNext();
    }
}

void QtWorker::startNext() {
    if (waiting_.empty()) {
        return;
    }
    Task task = std::move(waiting_.front());
    waiting_.pop_front();
    job_ = std::move(task.job);
    running_ = std::move(task.done);
    busy_ = true;
    posted_.store(posted_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    ring(wake_);
}

// Called whenever the worker may have finished; does nothing until it has.
void QtWorker::completed() {
    if (!busy_ ||
        done_.load(std::memory_order_acquire) != posted_.load(std::memory_order_relaxed)) {
        return;
    }
    busy_ = false;
    const auto done = std::move(running_);
    running_ = nullptr;
    if (done) {
        done();
    }
    // `done` may have posted a job, which is then running already.
    if (!busy_) {
        startNext();
    }
}

void QtWorker::finish() {
    while (busy_) {
        pollfd ready{finished_, POLLIN, 0};
        ::poll(&ready, 1, -1);
        clear(finished_);
        completed();
    }
}

}  // namespace tessel::platform
