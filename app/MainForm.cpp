#include "app/MainForm.h"

#include <QAction>

#include "core/PicturePresets.h"
#include "core/PrefsFormat.h"

namespace tessel::app {

MainForm::MainForm(Services services, std::unique_ptr<ui::MainWindow> window,
                   responder::Ports ports)
    : services_(services),
      window_(std::move(window)),
      prefs_(services.box, services.files, services.process, [this] { removeTrayIcon(); }),
      hosts_(services.box, services.files, services.process,
             [this] { prefs_.recreatePrefsFile(prefsFile()); }),
      responder_(services.listener, services.box, services.files, ports, [this] { onBlocked(); }),
      hostsDialog_(services.picker),
      pictureDialog_(services.picker) {
    services_.tray.onOpen = [this] { menuOpen_Click(); };
    connectMenus();
}

MainForm::~MainForm() {
    services_.tray.onOpen = nullptr;
    if (refreshTicking_) {
        services_.process.repeat({}, {});  // the ticker would call back into this form
    }
    delete about_.data();
    delete servers_.data();
    delete floater_.data();
}

std::string MainForm::programDirectory() const {
    return services_.process.programDirectory();
}

std::string MainForm::prefsFile() const {
    return prefs::prefsPath(programDirectory());
}

// A tray item named after a main-menu item plus "2" runs that item's handler and nothing else.
void MainForm::connectMenus() {
    const auto on = [this](const char* item, auto handler) {
        const QString name = QString::fromLatin1(item);
        connect(window_->action(name), &QAction::triggered, this, handler);
        if (QAction* copy = window_->action(name + QLatin1Char('2'))) {
            connect(copy, &QAction::triggered, this, handler);
        }
    };
    on("menuOpen", &MainForm::menuOpen_Click);
    on("menuFloater", &MainForm::menuFloater_Click);
    on("menuResetCounter", &MainForm::menuResetCounter_Click);
    on("menuAbout", &MainForm::menuAbout_Click);
    on("menuExit", &MainForm::menuExit_Click);
    on("menuServers", &MainForm::menuServers_Click);
    on("menuPath", &MainForm::menuPath_Click);
    on("menuAdvHosts", &MainForm::menuAdvHosts_Click);
    on("menuKeepReplace", &MainForm::menuKeepReplace_Click);
    on("menuPause", &MainForm::menuPause_Click);
    on("menuResume", &MainForm::menuResume_Click);
    for (int row = 0; row < static_cast<int>(ui::kPicturePresets.size()); ++row) {
        on(ui::kPicturePresets[static_cast<std::size_t>(row)].item,
           [this, row] { menuPreset_Click(row); });
    }
}

void MainForm::setChecked(const char* item, bool checked) {
    window_->action(QString::fromLatin1(item))->setChecked(checked);
}

void MainForm::setEnabled(const char* item, bool enabled) {
    window_->action(QString::fromLatin1(item))->setEnabled(enabled);
}

void MainForm::Form_Load() {
    if (services_.instance.previousInstance()) {
        services_.box.show("Sorry, Tessel is already running!");
        services_.process.endProgram();
    }
    paused_ = false;
    blockedCount_ = 0;
    if (prefs_.keepHostsFileNotSet(prefsFile())) {
        firstRunSetup();
    }
    prefs_.inputKeepHostsFile(prefsFile(), keepHostsFile_);
    picturePath_ = prefs_.inputPicturePath(prefsFile());
    responder_.usePicture(picturePath_);
    markPicture(ui::markedPreset(picturePath_, programDirectory()));
    prefs_.inputHostsPath(prefsFile(), hostsPath_);
    removeLeftovers();
    hosts_.giveBackLeftCopy();
    startListening();
    hostsTouched_ = true;
    makeHostsFile();
    services_.tray.add(platform::TrayPicture::Running, "Tessel");
    services_.zorder.setTopmost(platform::WindowId::Main, true);
}

void MainForm::menuExit_Click() {
    // Paused, the file already is the user's again: writing it only to take it back could fail
    // halfway (another server on the port) and leave the entries behind.
    if (!paused_) {
        giveBackHostsFile();
    }
    removeTrayIcon();
    services_.process.endProgram();
}

void MainForm::sessionEnding() {
    // Before start-up has touched the HOSTS file there is nothing to give back.
    if (!hostsTouched_) {
        services_.process.endProgram();
    }
    menuExit_Click();
}

void MainForm::giveBackQuietly() {
    // While paused the file is already the user's.
    if (hostsTouched_ && !paused_) {
        giveBackHostsFile();
    }
}

void MainForm::removeLeftovers() {
    services_.files.removeLeftovers(programDirectory() + "/data");
    const auto slash = hostsPath_.rfind('/');
    if (slash != std::string::npos) {
        services_.files.removeLeftovers(slash == 0 ? "/" : hostsPath_.substr(0, slash));
    }
}

void MainForm::startListening() {
    if (!responder_.startListening()) {
        // The program ends after the message: the machine gets its file back first.
        giveBackHostsFile();
        removeTrayIcon();
        services_.process.endProgram();
    }
}

bool MainForm::makeHostsFile() {
    return hosts_.makeHostsFile(hostsPath_, keepHostsFile_);
}

void MainForm::giveBackHostsFile() {
    hosts_.giveBackHostsFile(hostsPath_, keepHostsFile_);
}

void MainForm::removeTrayIcon() {
    services_.tray.remove();
}

}  // namespace tessel::app
