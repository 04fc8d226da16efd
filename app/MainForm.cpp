#include "app/MainForm.h"

#include <QAction>

#include "core/PicturePresets.h"
#include "platform/linux/Autostart.h"

namespace tessel::app {

using platform::WindowId;

MainForm::MainForm(Services services, std::unique_ptr<ui::MainWindow> window,
                   responder::Ports ports, platform::HelperLink* helper)
    : services_(services),
      window_(std::move(window)),
      paths_(services.process.paths()),
      prefs_(services_),
      hosts_(services.files, paths_, services.process.hostName()),
      viaHelper_(helper == nullptr ? nullptr
                                   : std::make_unique<hosts::HelperHostsFile>(*helper, hosts_)),
      responder_(services.listener, services.files, ports,
                 [this](std::uint64_t connections) { counter_.onBlocked(connections); }),
      counter_(services_, *window_),
      filtering_(services_, window_->items(), settings_,
                 viaHelper_ ? static_cast<hosts::HostsWriter&>(*viaHelper_) : hosts_, responder_,
                 counter_, [this] { return prefs_.recreatePrefsFile(paths_.prefs()); }),
      firstRun_(services_, prefs_, paths_),
      pictures_(services_, window_->items(), prefs_, responder_, settings_, paths_),
      hostsSettings_(services_, prefs_, settings_, paths_.prefs()),
      serverList_(services_, *window_, paths_.list(), filtering_),
      lists_(services_, *window_, paths_, filtering_, hosts_),
      statistics_(services_, paths_),
      statisticsView_(services_, *window_, paths_, statistics_, lists_) {
    services_.tray.onOpen = [this] { open(); };
    services_.listener.onNamed([this](const core::NameTally& names) { statistics_.add(names); });
    connectMenus();
}

MainForm::~MainForm() {
    services_.tray.onOpen = nullptr;
    // The ports close with the program: what they counted last reaches the statistics, which are
    // written as they go.
    services_.listener.close();
    services_.listener.onNamed(nullptr);
    delete about_.data();
}

// Each command runs the same from the menu bar and from the tray menu.
void MainForm::connectMenus() {
    const auto on = [this](const ui::ItemPair& item, auto handler) {
        connect(item.main, &QAction::triggered, this, handler);
        if (item.tray != nullptr) {
            connect(item.tray, &QAction::triggered, this, handler);
        }
    };
    const ui::MenuItems& items = window_->items();
    connect(items.open, &QAction::triggered, this, &MainForm::open);
    on(items.floater, [this] { counter_.toggleFloater(); });
    on(items.resetCounter, [this] { counter_.reset(); });
    on(items.about, &MainForm::showAbout);
    on(items.exit, [this] { filtering_.exit(); });
    on(items.servers, [this] { serverList_.open(); });
    on(items.lists, [this] { lists_.open(); });
    on(items.statistics, [this] { statisticsView_.open(); });
    on(items.startAtLogin, &MainForm::toggleStartAtLogin);
    on(items.picturePath, [this] { pictures_.choosePicture(); });
    for (std::size_t row = 0; row < items.presets.size(); ++row) {
        on(items.presets[row], [this, row] { pictures_.choosePreset(static_cast<int>(row)); });
    }
    on(items.hostsPath, [this] { hostsSettings_.changePath(); });
    on(items.keepReplace, [this] { hostsSettings_.keepOrReplace(); });
    on(items.pause, [this] { filtering_.pause(); });
    on(items.resume, [this] { filtering_.resume(); });
}

bool MainForm::load() {
    if (services_.instance.previousInstance()) {
        services_.box.show(kAlreadyRunning);
        services_.process.quit();
        return false;
    }
    window_->items().startAtLogin.setChecked(platform::startsAtLogin());
    const bool firstRun = prefs_.keepHostsFileNotSet(paths_.prefs());
    if (!services_.process.ending() && firstRun) {
        firstRun_.run(settings_.keepHostsFile);
    }
    if (!services_.process.ending()) {
        prefs_.inputKeepHostsFile(paths_.prefs(), settings_.keepHostsFile);
    }
    if (services_.process.ending()) {
        return false;
    }
    pictures_.load();
    prefs_.inputHostsPath(paths_.prefs(), settings_.hostsPath);
    lists_.load();
    statistics_.load();
    if (!filtering_.start()) {
        return false;
    }
    lists_.startRefreshing();
    return true;
}

void MainForm::open() {
    window_->show();
    window_->raise();
    window_->activateWindow();
    services_.zorder.setTopmost(WindowId::Main, true);
}

void MainForm::showAbout() {
    services_.zorder.setTopmost(WindowId::Main, false);
    // A box closed earlier may still await deletion; only an open one is shown again.
    if (about_ == nullptr || !about_->isVisible()) {
        about_ = new ui::AboutBox(window_->windowIcon());
    }
    about_->show();
    about_->raise();
    // Everything else keeps working while the box is open.
    while (about_ != nullptr && about_->isVisible() && !services_.process.ending()) {
        services_.process.processEvents();
    }
    services_.zorder.setTopmost(WindowId::Main, true);
}

// The check mark says whether the entry is there, whatever the click made of it.
void MainForm::toggleStartAtLogin() {
    const bool on = !platform::startsAtLogin();
    const std::string program = services_.process.programDirectory() + "/tessel";
    if (const auto done = platform::startAtLogin(on, program); !done.ok()) {
        services_.box.show(std::string(on ? "Error writing " : "Error removing ")
                               .append(platform::autostartEntryPath())
                               .append(": ")
                               .append(done.error()));
    }
    window_->items().startAtLogin.setChecked(platform::startsAtLogin());
}

}  // namespace tessel::app
