#pragma once

#include <QObject>
#include <functional>

namespace tessel::app {

// The ends of a desktop session that no signal announces. The session manager's Die reaches the
// application as a quit request, which runs the exit sequence (a session-save checkpoint asks for
// nothing). A broken display connection makes Qt end the process through exit(); then only the
// quiet give-back can run, as nothing can be shown any more. One object at a time.
class SessionEnd final : public QObject {
    Q_OBJECT
public:
    SessionEnd(std::function<void()> exitSequence, std::function<void()> quietGiveBack);
    ~SessionEnd() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void atProcessEnd();

    std::function<void()> exitSequence_;
    std::function<void()> quietGiveBack_;
    bool ending_ = false;
};

}  // namespace tessel::app
