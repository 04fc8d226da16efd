#include <QAction>

#include "app/MainForm.h"
#include "core/HostsText.h"
#include "core/PicturePresets.h"
#include "core/PrefsFormat.h"

// Pause and resume, the picture commands and the two HOSTS settings.
namespace tessel::app {

using platform::Answer;
using platform::Buttons;

void MainForm::setPausedMenus(bool paused) {
    setEnabled("menuPause", !paused);
    setEnabled("menuPause2", !paused);
    setEnabled("menuResume", paused);
    setEnabled("menuResume2", paused);
}

void MainForm::menuPause_Click() {
    paused_ = true;
    responder_.close();
    giveBackHostsFile();
    setPausedMenus(true);
    // The paused picture is the floating counter's icon: taking it loads that window, hidden.
    loadFloater();
    services_.tray.setPicture(platform::TrayPicture::Paused);
}

void MainForm::menuResume_Click() {
    makeHostsFile();
    startListening();
    setPausedMenus(false);
    services_.tray.setPicture(platform::TrayPicture::Running);
    paused_ = false;
}

void MainForm::markPicture(int row) {
    for (int each = 0; each < static_cast<int>(ui::kPicturePresets.size()); ++each) {
        const std::string item = ui::kPicturePresets[static_cast<std::size_t>(each)].item;
        setChecked(item.c_str(), each == row);
        setChecked((item + "2").c_str(), each == row);
    }
}

// A line break would split prefs.dat's lines (and a reply's header); a NUL would cut the path.
bool MainForm::storablePath(const std::string& path) {
    if (path.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos) {
        return true;
    }
    services_.box.show("The path \"" + path +
                           "\" holds a line break, which Tessel cannot store.\r\n"
                           "Please rename the file or choose another one.",
                       Buttons::Ok, platform::Icon::Exclamation);
    return false;
}

// Replace mode overwrites the chosen file and later removes it: a file that is not a HOSTS file
// (say, the password file) is never taken.
bool MainForm::usableHostsPath(const std::string& path, const std::string& inUse) {
    if (!storablePath(path)) {
        return false;
    }
    const auto current = services_.files.readFile(path);
    if (!current.ok() || hosts::isHostsText(current.bytes)) {
        return true;
    }
    services_.box.show("\"" + path +
                           "\" is not a HOSTS file: it has lines that are neither blank, nor "
                           "comments, nor an address followed by names.\r\n"
                           "Tessel goes on using \"" +
                           inUse + "\".",
                       Buttons::Ok, platform::Icon::Exclamation);
    return false;
}

void MainForm::menuPreset_Click(int row) {
    picturePath_ =
        programDirectory() + ui::kPicturePresets.at(static_cast<std::size_t>(row)).written;
    responder_.usePicture(picturePath_);
    prefs_.outputPicturePath(picturePath_, prefsFile());
    markPicture(row);
}

// Shows an open dialog for a file that must exist; false when the user cancelled (silently) or
// the dialog failed (reported with the given icon).
bool MainForm::chooseExistingFile(platform::FileDialog& dialog, const std::string& initDir,
                                  platform::Icon errorIcon) {
    dialog.flags = platform::kFlagFileMustExist | platform::kFlagHideReadOnly;
    dialog.initDir = initDir;
    dialog.cancelError = true;
    const auto error = dialog.showOpen();
    if (error && error->number != platform::kCancelErrorNumber) {
        services_.box.show("Error: " + error->description, Buttons::Ok, errorIcon);
    }
    return !error;
}

void MainForm::menuPath_Click() {
    if (!chooseExistingFile(pictureDialog_, picturePath_, platform::Icon::Exclamation)) {
        return;
    }
    if (!storablePath(pictureDialog_.fileName)) {
        return;
    }
    picturePath_ = pictureDialog_.fileName;
    responder_.usePicture(picturePath_);
    const bool written = prefs_.outputPicturePath(picturePath_, prefsFile());
    markPicture(ui::markedPreset(picturePath_, programDirectory()));
    if (written) {
        services_.box.show("Picture set.");
    }
}

void MainForm::menuAdvHosts_Click() {
    if (!chooseExistingFile(hostsDialog_, hostsPath_, platform::Icon::None) ||
        !usableHostsPath(hostsDialog_.fileName, hostsPath_)) {
        return;
    }
    // The path in use stays until the next start, so exit restores the file at the old path.
    if (prefs_.outputHostsPath(hostsDialog_.fileName, prefsFile())) {
        services_.box.show(
            "Path changed. Please exit and re-open Tessel for changes to take effect.");
    }
}

void MainForm::menuKeepReplace_Click() {
    const char* question =
        keepHostsFile_ ? "The current setting is set to keep the existing HOSTS file. This\r\n"
                         "is only recommended if you have a custom HOSTS file you would like\r\n"
                         "Tessel to keep when it is not running. Would you like Tessel to\r\n"
                         "continue to keep your custom HOSTS file when it isn't running?"
                       : "The current setting is set to replace the HOSTS file. This\r\n"
                         "is usually safe for the computer, unless you have a custom\r\n"
                         "HOSTS file you would like to use when Tessel is not running.\r\n"
                         "Would you like Tessel to keep your custom HOSTS file when it\r\n"
                         "isn't running?";
    const Answer answer = services_.box.show(question, Buttons::YesNoCancel);
    if (!keepHostsFile_ && answer == Answer::Yes) {
        prefs_.outputKeepHostsFile(true, prefsFile(), keepHostsFile_);
    } else if (keepHostsFile_ && answer == Answer::No) {
        prefs_.outputKeepHostsFile(false, prefsFile(), keepHostsFile_);
    }
}

}  // namespace tessel::app
