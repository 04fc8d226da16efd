#include "platform/qt/QtProcess.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/Text.h"

namespace tessel::platform {

std::string QtProcess::hostName() const {
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

std::string QtProcess::programDirectory() const {
    return fromPath(QCoreApplication::applicationDirPath());
}

void QtProcess::processEvents() {
    // Waits for at least one event, so a caller that loops on it does not spin the processor.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtProcess::post(std::function<void()> fn) {
    QTimer::singleShot(0, QCoreApplication::instance(), std::move(fn));
}

void QtProcess::endProgram() {
    // No window gets a close event and no destructor runs: the program stops here.
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}

}  // namespace tessel::platform
