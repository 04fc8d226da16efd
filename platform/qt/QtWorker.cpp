#include "platform/qt/QtWorker.h"

#include <QtConcurrent/QtConcurrentRun>

namespace tessel::platform {

QtWorker::QtWorker() {
    pool_.setMaxThreadCount(1);
}

QtWorker::~QtWorker() {
    future_.waitForFinished();
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
    running_ = std::move(waiting_.front());
    waiting_.pop_front();
    busy_ = true;
    const std::uint64_t number = ++number_;
    future_ = QtConcurrent::run(&pool_, [this, number, job = std::move(running_.job)] {
        job();
        QMetaObject::invokeMethod(
            &context_, [this, number] { completed(number); }, Qt::QueuedConnection);
    });
}

// A job that finish() has already seen through arrives here once more, and is let go.
void QtWorker::completed(std::uint64_t number) {
    if (!busy_ || number != number_) {
        return;
    }
    busy_ = false;
    const auto done = std::move(running_.done);
    running_ = {};
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
        future_.waitForFinished();
        completed(number_);
    }
}

}  // namespace tessel::platform
