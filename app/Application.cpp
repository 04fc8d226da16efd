#include "app/Application.h"

#include <QApplication>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <variant>

#include "app/HelperSockets.h"
#include "app/MainForm.h"
#include "app/SessionEnd.h"
#include "platform/linux/AbstractSocketInstance.h"
#include "platform/linux/EpollListener.h"
#include "platform/linux/HelperProcess.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/Privileges.h"
#include "platform/linux/SignalBridge.h"
#include "platform/qt/QtFilePicker.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/QtProcess.h"
#include "platform/qt/QtTray.h"
#include "platform/qt/QtZOrder.h"
#include "ui/Pictures.h"

namespace tessel::app {
namespace {

// Without rights of its own the program runs only through its helper; a user who may not run
// that is told how to get the rights. A helper that runs but will not serve says why itself.
std::unique_ptr<platform::HelperProcess> startHelper(platform::MessageBox& box,
                                                     platform::Process& process) {
    auto started = platform::HelperProcess::start(process.paths().helper());
    if (started.refusal && started.refusal->number == EWOULDBLOCK) {
        // Another user's Tessel, or one in another network namespace, holds the machine's file.
        box.show(kAlreadyRunning);
        process.endProgram();
    }
    if (started.refusal) {
        box.show(started.refusal->text + ".\r\nExiting Tessel.");
        process.endProgram();
    }
    if (!started.link) {
        box.show("Tessel may not open port 80 or write " + std::string(kSystemHostsPath) +
                 " as this user, and tessel-helper cannot run: " + started.error +
                 ".\r\nAs root, run scripts/grant.sh " + parentDirectory(process.paths().helper()) +
                 " once, then add this user to the group tessel (usermod -aG tessel " +
                 platform::userName() + ") and log in again.\r\nExiting Tessel.");
        process.endProgram();
    }
    return std::move(started.link);
}

}  // namespace

int run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessel"));
    QApplication::setQuitOnLastWindowClosed(false);

    platform::QtMessageBox box;
    // /etc/hosts and port 80 are the machine's: a second start, by this user or another, ends
    // here, before it starts a helper or touches a file or a port.
    platform::AbstractSocketInstance instance("tessel-single-instance");
    if (instance.previousInstance()) {
        box.show(kAlreadyRunning, platform::Buttons::Ok, platform::Icon::None,
                 platform::kProgramTitle);
        return EXIT_SUCCESS;
    }
    platform::QtFilePicker picker;
    platform::PosixFileSystem files;
    platform::QtProcess process;
    process.useUserFiles(platform::userFilesFor(process.programDirectory()));
    platform::EpollListener listener;
    std::unique_ptr<platform::HelperProcess> helper;
    if (!platform::mayFilterAlone()) {
        helper = startHelper(box, process);
        listener.takeSocketsFrom(socketsFromHelper(*helper, box, process));
    }
    auto window = std::make_unique<ui::MainWindow>();
    platform::QtTray tray(ui::trayIcon(platform::TrayPicture::Running),
                          ui::trayIcon(platform::TrayPicture::Paused), window->trayMenu());
    platform::QtZOrder zorder;
    zorder.bind(platform::WindowId::Main, window.get());

    MainForm form({box, picker, files, process, instance, zorder, tray, listener},
                  std::move(window), {}, helper.get());
    zorder.resolve = [&form](platform::WindowId id) -> QWidget* {
        return id == platform::WindowId::Floater ? form.floater() : nullptr;
    };
    platform::SignalBridge signalBridge([&form] { form.sessionEnding(); });
    SessionEnd sessionEnd([&form] { form.sessionEnding(); },
                          [&form, &box] {
                              box.silence();
                              form.giveBackQuietly();
                          });

    form.Form_Load();
    return QApplication::exec();
}

}  // namespace tessel::app
