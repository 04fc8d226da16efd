#include "app/SessionEnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <cstdlib>

namespace tessel::app {
namespace {

SessionEnd* current = nullptr;

}  // namespace

SessionEnd::SessionEnd(std::function<void()> exitSequence, std::function<void()> quietGiveBack)
    : exitSequence_(std::move(exitSequence)), quietGiveBack_(std::move(quietGiveBack)) {
    // Qt's own handling of the request would first try to close the windows, which the main
    // window refuses (it only hides), so the request is taken here before Qt sees it.
    QCoreApplication::instance()->installEventFilter(this);
    // The program's own ends return from main after this object is gone, so the handler finds
    // nothing to do: it acts only when something else ends the process (Qt calls exit() when the
    // display connection breaks), and exit() runs it once at most.
    static const bool registered = std::atexit(&SessionEnd::atProcessEnd) == 0;
    static_cast<void>(registered);
    current = this;
}

SessionEnd::~SessionEnd() {
    if (current == this) {
        current = nullptr;
    }
}

bool SessionEnd::eventFilter(QObject* watched, QEvent* event) {
    if (watched != QCoreApplication::instance() || event->type() != QEvent::Quit) {
        return QObject::eventFilter(watched, event);
    }
    // A request arriving while the exit sequence waits in a message box is the same request.
    if (!ending_ && exitSequence_) {
        ending_ = true;
        exitSequence_();
        ending_ = false;
    }
    return true;
}

void SessionEnd::atProcessEnd() {
    if (current != nullptr && current->quietGiveBack_) {
        SessionEnd* ending = current;
        current = nullptr;
        ending->quietGiveBack_();
    }
}

}  // namespace tessel::app
