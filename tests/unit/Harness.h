#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <functional>
#include <memory>

#include "app/MainForm.h"
#include "fakes/FakePlatform.h"

namespace tessel::testing {

inline const std::string kDir = "/opt/tessel";
inline const std::string kPrefs = kDir + "/data/prefs.dat";
inline const std::string kList = kDir + "/data/badHosts.dat";
inline const std::string kListText = "ads.example.com\r\nbanner.example.net\r\n";
inline const std::string kHosts = "/etc/hosts";

inline std::string prefsText(const std::string& keep,
                             const std::string& picture = kDir + "/data/Tessel.gif",
                             const std::string& hosts = kHosts) {
    return picture + "\r\n" + hosts + "\r\n80\r\n80\r\nkeepHostsFile: " + keep + "\r\n";
}

// The one way into the form's state that no command offers: a count far beyond what a test can
// block connection by connection.
struct FormAccess final {
    static std::uint64_t& blockedCount(app::MainForm& form) { return form.counter_.count_; }
    // What a block-list download that has finished does.
    static void listsDownloaded(app::MainForm& form) { form.filtering_.rewrite(); }
};

// frmMain with every platform service scripted.
class Harness {
public:
    fakes::FakeMessageBox box;
    fakes::FakePicker picker;
    fakes::MemoryFileSystem files;
    fakes::FakeProcess process;
    fakes::FakeInstance instance;
    fakes::FakeZOrder zorder;
    fakes::FakeTray tray;
    fakes::FakeListener listener;
    fakes::FakeWorker worker;
    std::unique_ptr<app::MainForm> form;

    explicit Harness(const std::string& keep = "False") {
        files.files[kList] = kListText;
        files.files[kPrefs] = prefsText(keep);
        form = std::make_unique<app::MainForm>(
            app::Services{box, picker, files, process, instance, zorder, tray, listener, worker},
            std::make_unique<ui::MainWindow>());
    }

    QAction* action(const char* name) const {
        auto* found = form->window().findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    bool checked(const char* name) const { return action(name)->isChecked(); }
    void trigger(const char* name) const { action(name)->trigger(); }
    // Runs start-up; true when it ended the program.
    bool load() { return !form->load() && process.ending(); }
    void block(int connections) {
        for (int i = 0; i < connections; ++i) {
            listener.connectAndSend();
        }
        process.tickUntilStopped();
    }
};

}  // namespace tessel::testing
