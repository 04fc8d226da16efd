#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>

#include "app/Counter.h"
#include "app/Filtering.h"
#include "app/FirstRun.h"
#include "app/HostsSettings.h"
#include "app/Lists.h"
#include "app/PictureSettings.h"
#include "app/PrefsFile.h"
#include "app/ServerList.h"
#include "app/Services.h"
#include "app/StatisticsStore.h"
#include "app/StatisticsView.h"
#include "core/ProgramPaths.h"
#include "hosts/HelperHostsFile.h"
#include "hosts/HostsFile.h"
#include "platform/HelperLink.h"
#include "responder/Responder.h"
#include "ui/AboutBox.h"
#include "ui/MainWindow.h"

namespace tessel::testing {
struct FormAccess;
}

namespace tessel::app {

// frmMain: start-up, and the menus wired to the feature that carries out each command. The other
// windows hold only their controls; everything they do comes back to a feature here.
class MainForm final : public QObject {
    Q_OBJECT
public:
    // With a helper, /etc/hosts is written through it.
    MainForm(Services services, std::unique_ptr<ui::MainWindow> window, responder::Ports ports = {},
             platform::HelperLink* helper = nullptr);
    ~MainForm() override;
    Q_DISABLE_COPY_MOVE(MainForm)

    std::uint64_t blockedCount() const { return counter_.count(); }
    const std::string& hostsPath() const { return settings_.hostsPath; }
    const std::string& picturePath() const { return settings_.picturePath; }
    bool keepsHostsFile() const { return settings_.keepHostsFile; }
    bool isPaused() const { return filtering_.isPaused(); }

    // Start-up: the settings read (asked for on a first run), then filtering started. False when
    // the program ends instead.
    bool load();
    // Logout, a hang-up, an interrupt or a termination request: the exit sequence.
    void sessionEnding() { filtering_.sessionEnding(); }
    // The display connection broke: the HOSTS file is given back and the statistics written,
    // without a word.
    void giveBackQuietly() {
        filtering_.giveBackQuietly();
        statistics_.save();
    }

    ui::MainWindow& window() const { return *window_; }
    ui::FloaterWindow* floater() const { return counter_.floater(); }
    ui::ServersWindow* servers() const { return serverList_.editor(); }
    ui::ListsWindow* listsWindow() const { return lists_.editor(); }
    Subscriptions& subscriptions() { return lists_.subscriptions(); }
    StatisticsStore& statistics() { return statistics_; }
    ui::StatisticsWindow* statisticsWindow() const { return statisticsView_.window(); }
    ui::AboutBox* about() const { return about_; }

private:
    void connectMenus();
    void open();
    void showAbout();
    void toggleStartAtLogin();

    friend struct testing::FormAccess;

    Services services_;
    std::unique_ptr<ui::MainWindow> window_;
    core::ProgramPaths paths_;
    Settings settings_;
    PrefsFile prefs_;
    hosts::HostsFile hosts_;
    std::unique_ptr<hosts::HelperHostsFile> viaHelper_;
    responder::Responder responder_;
    Counter counter_;
    Filtering filtering_;
    FirstRun firstRun_;
    PictureSettings pictures_;
    HostsSettings hostsSettings_;
    ServerList serverList_;
    Lists lists_;
    StatisticsStore statistics_;  // last: it is written at the end, before anything else goes
    // Only its window goes before the store: it reads the counts while open.
    StatisticsView statisticsView_;
    QPointer<ui::AboutBox> about_;
};

}  // namespace tessel::app
