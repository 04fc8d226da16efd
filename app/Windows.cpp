#include <QAction>
#include <chrono>

#include "app/MainForm.h"
#include "core/ListEditor.h"
#include "ui/Pictures.h"

// The counter displays, the floating counter, the About box and the server-list editor.
namespace tessel::app {

using platform::WindowId;

namespace {

constexpr std::uint64_t kWideFrom = 100;
// Often enough to look live, rare enough that a flood of connections costs the displays nothing.
constexpr std::chrono::milliseconds kRefreshInterval{50};

QString decimal(std::uint64_t count) {
    return QString::number(count);
}

}  // namespace

void MainForm::onBlocked() {
    ++blockedCount_;
    if (blockedCount_ == kWideFrom) {
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

bool MainForm::refreshTick() {
    refreshTicking_ = refreshPending_;
    refreshCounters();
    return refreshTicking_;
}

void MainForm::refreshCounters() {
    if (!refreshPending_) {
        return;
    }
    refreshPending_ = false;
    const QString text = decimal(blockedCount_);
    window_->setCounterText(text);
    loadFloater().setCounterText(text);
    services_.tray.modifyTip(text.toStdString());
}

ui::FloaterWindow& MainForm::loadFloater() {
    if (floater_ == nullptr) {
        floater_ = new ui::FloaterWindow();
        floater_->setCounterText(decimal(blockedCount_));
        if (blockedCount_ >= kWideFrom) {
            floater_->widenTextBox();
        }
        // A closed window is gone at once, even before Qt deletes it.
        connect(floater_, &ui::FloaterWindow::unloaded, this, [this] {
            floater_ = nullptr;
            uncheckFloaterMenu();
        });
        services_.zorder.setTopmost(WindowId::Floater, true);
    }
    return *floater_;
}

void MainForm::menuFloater_Click() {
    if (floater_ == nullptr || !floater_->isVisible()) {
        loadFloater().show();
        setChecked("menuFloater", true);
        return;
    }
    floater_->close();
    setChecked("menuFloater", false);
}

void MainForm::uncheckFloaterMenu() {
    setChecked("menuFloater", false);
}

void MainForm::menuResetCounter_Click() {
    // Connections counted in this pass still reach the tooltip before the reset.
    refreshCounters();
    window_->setCounterText(QStringLiteral("0"));
    loadFloater().resetToZero();
    blockedCount_ = 0;
}

void MainForm::menuOpen_Click() {
    window_->show();
    window_->raise();
    window_->activateWindow();
    services_.zorder.setTopmost(WindowId::Main, true);
}

void MainForm::menuAbout_Click() {
    services_.zorder.setTopmost(WindowId::Main, false);
    // A box closed earlier may still await deletion; only an open one is shown again.
    if (about_ == nullptr || !about_->isVisible()) {
        about_ = new ui::AboutBox(window_->windowIcon());
    }
    about_->show();
    about_->raise();
    // Everything else keeps working while the box is open.
    while (about_ != nullptr && about_->isVisible()) {
        services_.process.processEvents();
    }
    services_.zorder.setTopmost(WindowId::Main, true);
}

void MainForm::menuServers_Click() {
    if (servers_ != nullptr) {
        servers_->show();
        servers_->raise();
        servers_->activateWindow();
        return;
    }
    services_.zorder.setTopmost(WindowId::Main, false);
    const auto list = services_.files.readFile(hosts_.listPath());
    if (!list.ok()) {
        services_.box.show("Error opening badHosts.dat:\r\n" + list.status.error());
        services_.zorder.setTopmost(WindowId::Main, true);
        return;
    }
    servers_ = new ui::ServersWindow(window_->windowIcon());
    servers_->setListText(hosts::loadForEditing(list.bytes));
    connect(servers_, &ui::ServersWindow::okClicked, this, &MainForm::serversOk);
    connect(servers_, &ui::ServersWindow::unloaded, this, [this] {
        servers_ = nullptr;
        services_.zorder.setTopmost(WindowId::Main, true);
    });
    servers_->show();
}

void MainForm::serversOk() {
    const std::string typed = servers_->listText();
    const std::string cleaned = hosts::collapseLineBreaks(typed);
    // Refilling a box of a million lines takes a moment; skip it when nothing was collapsed.
    if (cleaned != typed) {
        servers_->setListText(cleaned);
    }
    const auto status = services_.files.writeFile(hosts_.listPath(), hosts::savedList(cleaned));
    if (!status.ok()) {
        // The HOSTS file and the window stay as they were; the user may try again.
        services_.box.show("Error saving badHosts.dat: " + status.error());
        return;
    }
    // Paused, the file stays the user's; Resume writes the new list.
    if (!paused_) {
        giveBackHostsFile();
        if (makeHostsFile()) {
            services_.box.show(
                "Hosts file changed. You must restart your\r\nweb browser for "
                "changes to take effect.");
        }
    }
    // The user may have closed the window while the message was open.
    if (servers_ != nullptr) {
        servers_->close();
    }
}

}  // namespace tessel::app
