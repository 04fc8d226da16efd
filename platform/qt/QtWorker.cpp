#include "platform/qt/QtWorker.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace tessel::platform {
namespace {

void signal(int event) {
    const std::uint64_t one = 1;
    while (::write(event, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void consume(int event) {
    std::uint64_t count = 0;
    while (::read(event, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

}  // namespace

QtWorker::QtWorker()
    : wake_(::eventfd(0, EFD_CLOEXEC)),
      finished_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      notifier_(std::make_unique<QSocketNotifier>(finished_, QSocketNotifier::Read)),
      thread_([this] { run(); }) {
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        consume(finished_);
        completed();
    });
}

QtWorker::~QtWorker() {
    notifier_.reset();
    stopping_ = true;
    signal(wake_);
    thread_.join();
    ::close(wake_);
    ::close(finished_);
}

void QtWorker::run() {
    while (true) {
        consume(wake_);
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
        signal(finished_);
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
    signal(wake_);
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
        consume(finished_);
        completed();
    }
}

}  // namespace tessel::platform
