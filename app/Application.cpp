#include "app/Application.h"

#include <QApplication>

#include "app/MainForm.h"
#include "app/SessionEnd.h"
#include "platform/linux/AbstractSocketInstance.h"
#include "platform/linux/EpollListener.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/SignalBridge.h"
#include "platform/qt/QtFilePicker.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/QtProcess.h"
#include "platform/qt/QtTray.h"
#include "platform/qt/QtZOrder.h"
#include "ui/Pictures.h"

namespace tessel::app {

int run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessel"));
    QApplication::setQuitOnLastWindowClosed(false);

    platform::QtMessageBox box;
    platform::QtFilePicker picker;
    platform::PosixFileSystem files;
    platform::QtProcess process;
    platform::AbstractSocketInstance instance("tessel-single-instance");
    platform::EpollListener listener;
    auto window = std::make_unique<ui::MainWindow>();
    platform::QtTray tray(ui::trayIcon(platform::TrayPicture::Running),
                          ui::trayIcon(platform::TrayPicture::Paused), window->trayMenu());
    platform::QtZOrder zorder;
    zorder.bind(platform::WindowId::Main, window.get());

    MainForm form({box, picker, files, process, instance, zorder, tray, listener},
                  std::move(window));
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
