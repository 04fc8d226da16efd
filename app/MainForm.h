#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>

#include "hosts/HostsFile.h"
#include "platform/FileDialog.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/RedirectListener.h"
#include "platform/SingleInstance.h"
#include "platform/Tray.h"
#include "platform/ZOrder.h"
#include "prefs/Preferences.h"
#include "responder/Responder.h"
#include "ui/AboutBox.h"
#include "ui/FloaterWindow.h"
#include "ui/MainWindow.h"
#include "ui/ServersWindow.h"

namespace tessel::testing {
struct FormAccess;
}

namespace tessel::app {

// Everything the program needs from the world outside it.
struct Services final {
    platform::MessageBox& box;
    platform::FilePicker& picker;
    platform::FileSystem& files;
    platform::Process& process;
    platform::SingleInstance& instance;
    platform::ZOrder& zorder;
    platform::Tray& tray;
    platform::RedirectListener& listener;
};

// frmMain: the program's state and every command handler. The other windows hold only their
// controls; everything they do comes back here.
class MainForm final : public QObject {
    Q_OBJECT
public:
    MainForm(Services services, std::unique_ptr<ui::MainWindow> window,
             responder::Ports ports = {});
    ~MainForm() override;

    // State shared by every command.
    std::uint64_t blockedCount() const { return blockedCount_; }
    const std::string& hostsPath() const { return hostsPath_; }
    const std::string& picturePath() const { return picturePath_; }
    bool keepsHostsFile() const { return keepHostsFile_; }
    bool isPaused() const { return paused_; }

    // Start-up and exit.
    void Form_Load();
    void menuExit_Click();
    // Windows ending the session, a hang-up, an interrupt or a termination request.
    void sessionEnding();
    // The process ends some other way (the display connection broke): only the HOSTS file is
    // given back. Whoever calls it makes sure no message box can show.
    void giveBackQuietly();

    // Commands of the main menu; each tray copy only calls one of these.
    void menuOpen_Click();
    void menuAbout_Click();
    void menuFloater_Click();
    void menuResetCounter_Click();
    void menuPause_Click();
    void menuResume_Click();
    void menuServers_Click();
    void menuPath_Click();
    void menuPreset_Click(int row);
    void menuAdvHosts_Click();
    void menuKeepReplace_Click();

    // Procedures the commands share.
    void firstRunSetup();
    void startListening();
    bool makeHostsFile();
    void giveBackHostsFile();
    void removeTrayIcon();
    void uncheckFloaterMenu();

    std::string programDirectory() const;
    std::string prefsFile() const;

    ui::MainWindow& window() const { return *window_; }
    ui::FloaterWindow* floater() const { return floater_; }
    ui::ServersWindow* servers() const { return servers_; }
    ui::AboutBox* about() const { return about_; }
    platform::FileDialog& hostsDialog() { return hostsDialog_; }
    platform::FileDialog& pictureDialog() { return pictureDialog_; }

private:
    void connectMenus();
    void setChecked(const char* item, bool checked);
    void setEnabled(const char* item, bool enabled);
    void markPicture(int row);
    void setPausedMenus(bool paused);
    void onBlocked();
    void refreshCounters();
    bool refreshTick();
    ui::FloaterWindow& loadFloater();
    void serversOk();
    bool chooseHostsFile(std::string& path);
    bool storablePath(const std::string& path);
    bool usableHostsPath(const std::string& path, const std::string& inUse);
    bool chooseExistingFile(platform::FileDialog& dialog, const std::string& initDir,
                            platform::Icon errorIcon);
    void removeLeftovers();

    friend struct testing::FormAccess;

    std::uint64_t blockedCount_ = 0;
    std::string hostsPath_;
    std::string picturePath_;
    bool keepHostsFile_ = false;
    bool paused_ = false;
    Services services_;
    std::unique_ptr<ui::MainWindow> window_;
    prefs::Preferences prefs_;
    hosts::HostsFile hosts_;
    responder::Responder responder_;
    platform::FileDialog hostsDialog_;
    platform::FileDialog pictureDialog_;
    QPointer<ui::FloaterWindow> floater_;
    QPointer<ui::AboutBox> about_;
    QPointer<ui::ServersWindow> servers_;
    bool refreshPending_ = false;  // counted since the displays were last refreshed
    bool refreshTicking_ = false;
    bool hostsTouched_ = false;
};

}  // namespace tessel::app
