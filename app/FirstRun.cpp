#include "app/MainForm.h"
#include "core/PrefsFormat.h"

namespace tessel::app {

using platform::Answer;
using platform::Buttons;

namespace {

constexpr const char* kStandardHostsPath = "/etc/hosts";
constexpr const char* kDialogDirectory = "/etc/";

}  // namespace

// Asks where the HOSTS file is; false when the user cancels.
bool MainForm::chooseHostsFile(std::string& path) {
    const Answer nonStandard = services_.box.show(
        "Tessel will now set the path of your HOSTS file.\r\n"
        "Are you:\r\n"
        "1. Running Windows NT or 2000, or\r\n"
        "2. Have a non-standard path for the HOSTS file?\r\n"
        "\r\n"
        "(If you're running Windows 95/98/Me and have no idea what #2 means, just press NO.)",
        Buttons::YesNoCancel);
    if (nonStandard == Answer::Cancel) {
        return false;
    }
    path = kStandardHostsPath;
    if (nonStandard == Answer::No) {
        return true;
    }
    const Answer select = services_.box.show(
        "Please select the path of the HOSTS file that Tessel is going to be utilizing. On most "
        "computers, this is located in \"/etc/hosts\".",
        Buttons::OkCancel);
    if (select == Answer::Cancel) {
        return false;
    }
    hostsDialog_.flags = platform::kFlagHideReadOnly;
    hostsDialog_.initDir = kDialogDirectory;
    hostsDialog_.cancelError = false;
    (void)hostsDialog_.showOpen();
    // An empty name means the dialog was cancelled: fall back to the standard path, as for a
    // file that cannot be used.
    if (hostsDialog_.fileName.size() >= 3 && usableHostsPath(hostsDialog_.fileName, path)) {
        path = hostsDialog_.fileName;
    }
    return true;
}

void MainForm::firstRunSetup() {
    const Answer replace = services_.box.show(
        "Thanks for trying Tessel.\r\n"
        "Would you like Tessel to overwrite your existing HOSTS file?\r\n"
        "Unless you have a custom HOSTS file, it is safe to say \"Yes\".",
        Buttons::YesNoCancel);
    if (replace == Answer::Cancel) {
        services_.process.endProgram();
    }
    keepHostsFile_ = replace == Answer::No;
    bool written = prefs_.outputKeepHostsFile(keepHostsFile_, prefsFile(), keepHostsFile_);
    written =
        prefs_.outputPicturePath(prefs::defaultPicturePath(programDirectory()), prefsFile()) &&
        written;
    std::string path = kStandardHostsPath;
    if (!services_.files.fileExists(path) && !chooseHostsFile(path)) {
        removeTrayIcon();
        services_.process.endProgram();
    }
    if (!prefs_.outputHostsPath(path, prefsFile()) || !written) {
        return;  // the error boxes said why; no word of success follows them
    }
    services_.box.show("Your HOSTS file was set to \"" + path +
                       "\".\r\n"
                       "If you would like to change this value, you may select the \"Change HOSTS "
                       "Path\" menu item.\r\n"
                       "\r\n"
                       "Tessel is now running in your system tray. If you have any web browsers "
                       "open, you must restart them before Tessel takes effect.");
}

}  // namespace tessel::app
