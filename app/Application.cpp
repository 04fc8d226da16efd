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
#include "platform/qt/QtWorker.h"
#include "platform/qt/QtZOrder.h"
#include "ui/Pictures.h"

namespace tessel::app {
namespace {

// Without rights of its own the program runs only through its helper; a user who may not run
// that is told how to get the rights. A helper that runs but will not serve says why. Nothing
// when the program ends instead.
std::unique_ptr<platform::HelperProcess> startHelper(platform::MessageBox& box,
                                                     const platform::Process& process) {
    auto started = platform::HelperProcess::start(process.paths().helper());
    if (started.refusal && started.refusal->number == EWOULDBLOCK) {
        // Another user's Tessel, or one in another network namespace, holds the machine's file.
        box.show(kAlreadyRunning);
    } else if (const auto& refusal = started.refusal) {
        box.show(hostsMessage(
            {refusal->failure, refusal->text, refusal->number, 0, core::kSystemHostsPath}));
    } else if (!started.link) {
        box.show("Tessel may not open port 80 or write " + std::string(core::kSystemHostsPath) +
                 " as this user, and tessel-helper cannot run: " + started.error +
                 ".\r\nAs root, run scripts/grant.sh " +
                 core::parentDirectory(process.paths().helper()) +
                 " once, then add this user to the group tessel (usermod -aG tessel " +
                 platform::userName() + ") and log in again.\r\nExiting Tessel.");
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
    // Three threads. This one runs the windows, the tray and every decision. The listener runs its
    // own epoll loop over the ports and their connections, with no Qt object on it: commands
    // (listen, close, a new reply, exit) reach it through one slot and an eventfd and return once
    // carried out, so a pause answers nothing after it returns; connections served come back as
    // an atomic count, told here at once and then in a batch every 50 ms, and the names they asked
    // for in one of two tallies passed to and fro, so the listener never waits for this thread
    // and counts a known name without allocating. The worker runs long
    // list work in order (reading a download, merging the lists, writing the HOSTS file again,
    // sorting the editor's list) and hands each result back here; everything else that touches
    // the HOSTS file waits for it first. Nothing is shared but atomics and immutable buffers.
    platform::EpollListener listener;
    std::unique_ptr<platform::HelperProcess> helper;
    if (!platform::mayFilterAlone()) {
        helper = startHelper(box, process);
        if (!helper) {
            return EXIT_SUCCESS;
        }
        listener.takeSocketsFrom(socketsFromHelper(*helper));
    }
    auto window = std::make_unique<ui::MainWindow>();
    platform::QtTray tray(ui::trayIcon(platform::TrayPicture::Running),
                          ui::trayIcon(platform::TrayPicture::Paused), window->trayMenu());
    platform::QtZOrder zorder;
    zorder.bind(platform::WindowId::Main, window.get());

    platform::QtWorker worker;
    MainForm form({box, picker, files, process, instance, zorder, tray, listener, worker},
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

    // Every end, planned or not, returns here: the form, the helper's link and the application
    // are destroyed in order.
    if (!form.load()) {
        return EXIT_SUCCESS;
    }
    return QApplication::exec();
}

}  // namespace tessel::app
