#pragma once

#include <QWidget>

namespace tessel::ui {

// A window destroyed when closed (unloaded). Closing is its end even though Qt deletes it only
// later: the program must not write to it, show it again or count it as open in the meantime.
// So it emits `unloaded` once, on closing, or on destruction when it was never closed.
class UnloadingWindow : public QWidget {
    Q_OBJECT
public:
    UnloadingWindow(QWidget* parent, Qt::WindowFlags flags);
    ~UnloadingWindow() override;
    Q_DISABLE_COPY_MOVE(UnloadingWindow)

    // Shows the window again above the others, for a second opening of one already open.
    void bringToFront();

signals:
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void announceUnload();

    bool unloadAnnounced_ = false;
};

}  // namespace tessel::ui
