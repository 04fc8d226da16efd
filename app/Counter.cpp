#include "app/Counter.h"

#include <QAction>
#include <chrono>

namespace tessel::app {
namespace {

constexpr std::uint64_t kWideFrom = 100;
// Often enough to look live, rare enough that a flood of connections costs the displays nothing.
constexpr std::chrono::milliseconds kRefreshInterval{50};

QString decimal(std::uint64_t count) {
    return QString::number(count);
}

}  // namespace

Counter::Counter(const Services& services, ui::MainWindow& window)
    : services_(services), window_(window) {}

Counter::~Counter() {
    if (refreshTicking_) {
        services_.process.repeat({}, {});  // the ticker would call back into this object
    }
    delete floater_.data();
}

void Counter::onBlocked(std::uint64_t connections) {
    const bool widens = count_ < kWideFrom && count_ + connections >= kWideFrom;
    count_ += connections;
    if (widens) {
        loadFloater().widenTextBox();
    }
    // The displays follow on a timer that runs only while the count moves, so a burst wakes
    // nothing per connection; the tick after the last one shows the exact count.
    refreshPending_ = true;
    if (!refreshTicking_) {
        refreshTicking_ = true;
        services_.process.repeat(kRefreshInterval, [this] { return refreshTick(); });
    }
}

bool Counter::refreshTick() {
    refreshTicking_ = refreshPending_;
    refresh();
    return refreshTicking_;
}

void Counter::refresh() {
    if (!refreshPending_) {
        return;
    }
    refreshPending_ = false;
    const QString text = decimal(count_);
    window_.setCounterText(text);
    loadFloater().setCounterText(text);
    services_.tray.modifyTip(text.toStdString());
}

ui::FloaterWindow& Counter::loadFloater() {
    if (floater_ == nullptr) {
        floater_ = new ui::FloaterWindow();
        floater_->setCounterText(decimal(count_));
        if (count_ >= kWideFrom) {
            floater_->widenTextBox();
        }
        // A closed window is gone at once, even before Qt deletes it.
        connect(floater_, &ui::FloaterWindow::unloaded, this, [this] {
            floater_ = nullptr;
            window_.items().floater.main->setChecked(false);
        });
        services_.zorder.setTopmost(platform::WindowId::Floater, true);
    }
    return *floater_;
}

void Counter::toggleFloater() {
    const bool show = floater_ == nullptr || !floater_->isVisible();
    if (show) {
        loadFloater().show();
    } else {
        floater_->close();
    }
    window_.items().floater.main->setChecked(show);
}

void Counter::reset() {
    // Connections counted in this pass still reach the tooltip before the reset.
    refresh();
    window_.setCounterText(QStringLiteral("0"));
    loadFloater().resetToZero();
    count_ = 0;
}

}  // namespace tessel::app
