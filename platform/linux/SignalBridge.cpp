#include "platform/linux/SignalBridge.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace tessel::platform {
namespace {

int pipeFds[2] = {-1, -1};
// Set while the handler runs; see the notifier below.
bool handling = false;

extern "C" void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

}  // namespace

SignalBridge::SignalBridge(std::function<void()> handler, QObject* parent)
    : QObject(parent), onSignal_(std::move(handler)) {
    if (pipeFds[0] < 0 && ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char buffer[64];
        while (::read(pipeFds[0], buffer, sizeof buffer) > 0) {
        }
        // The handler may wait in a message box (the exit sequence reports a HOSTS file it could
        // not give back), and the box's event loop brings further signals here: running the
        // handler again inside itself would stack one more box per signal and redo the exit
        // sequence half-way through the first. The one already running is all a signal asks for.
        if (!onSignal_ || handling) {
            return;
        }
        handling = true;
        struct Done {
            ~Done() { handling = false; }
        } done;
        onSignal_();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        ::sigaction(signal, &action, nullptr);
    }
}

SignalBridge::~SignalBridge() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace tessel::platform
