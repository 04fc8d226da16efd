#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>

#include "app/Services.h"
#include "ui/FloaterWindow.h"
#include "ui/MainWindow.h"

namespace tessel::testing {
struct FormAccess;
}

namespace tessel::app {

// The count of blocked connections and every place it shows: the main window's box, the floating
// counter and the tray icon's tooltip.
class Counter final : public QObject {
    Q_OBJECT
public:
    Counter(const Services& services, ui::MainWindow& window);
    ~Counter() override;
    // The refresh timer calls back into this object.
    Q_DISABLE_COPY_MOVE(Counter)

    std::uint64_t count() const { return count_; }
    void onBlocked(std::uint64_t connections);
    void toggleFloater();
    void reset();
    // The floating counter, created hidden when it is not loaded.
    ui::FloaterWindow& loadFloater();
    ui::FloaterWindow* floater() const { return floater_; }

private:
    void refresh();
    bool refreshTick();

    friend struct testing::FormAccess;

    const Services& services_;
    ui::MainWindow& window_;
    std::uint64_t count_ = 0;
    QPointer<ui::FloaterWindow> floater_;
    bool refreshPending_ = false;  // counted since the displays were last refreshed
    bool refreshTicking_ = false;
};

}  // namespace tessel::app
