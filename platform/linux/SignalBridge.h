#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace tessel::platform {

// The end of the session, a hang-up, an interrupt or a termination request run the given handler
// from the event loop: the signal handler only writes a byte to a pipe.
class SignalBridge final : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(std::function<void()> onSignal, QObject* parent = nullptr);
    ~SignalBridge() override;

private:
    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tessel::platform
