#include "platform/qt/QtProcess.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdlib>

#include "platform/linux/HostName.h"
#include "platform/qt/Text.h"

namespace tessel::platform {

QtProcess::QtProcess() : timer_(std::make_unique<QTimer>()) {
    // The timer only wakes the event loop while something is ticking.
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        if (!tick_ || !tick_()) {
            timer_->stop();
        }
    });
}

QtProcess::~QtProcess() = default;

std::string QtProcess::hostName() const {
    return platform::hostName();
}

std::string QtProcess::programDirectory() const {
    return fromPath(QCoreApplication::applicationDirPath());
}

void QtProcess::processEvents() {
    // Waits for at least one event, so a caller that loops on it does not spin the processor.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtProcess::repeat(std::chrono::milliseconds interval, std::function<bool()> tick) {
    tick_ = std::move(tick);
    if (tick_) {
        timer_->start(interval);
    } else {
        timer_->stop();
    }
}

void QtProcess::quit() {
    // Every loop running, a message box's included, returns; one started later returns at once.
    ending_ = true;
    QCoreApplication::exit(EXIT_SUCCESS);
}

}  // namespace tessel::platform
