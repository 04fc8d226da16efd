#include "app/FirstRun.h"

#include "app/PathChecks.h"

namespace tessel::app {

using platform::Answer;
using platform::Buttons;

namespace {

constexpr const char* kDialogDirectory = "/etc/";

}  // namespace

FirstRun::FirstRun(const Services& services, PrefsFile& prefs, core::ProgramPaths paths)
    : services_(services), prefs_(prefs), paths_(std::move(paths)) {}

// Asks where the HOSTS file is; false when the user cancels.
bool FirstRun::chooseHostsFile(std::string& path) {
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
    path = core::kSystemHostsPath;
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
    const auto picked = services_.picker.pick({kDialogDirectory, {}, kAllFiles, false});
    // A dialog cancelled or failing falls back to the standard path, as a file that cannot be
    // used does.
    if (picked.kind == platform::PickResult::Kind::Chosen && picked.value.size() >= 3 &&
        usableHostsPath(services_.box, services_.files, picked.value, path)) {
        path = picked.value;
    }
    return true;
}

void FirstRun::run(bool& keepHostsFile) {
    const Answer replace = services_.box.show(
        "Thanks for trying Tessel.\r\n"
        "Would you like Tessel to overwrite your existing HOSTS file?\r\n"
        "Unless you have a custom HOSTS file, it is safe to say \"Yes\".",
        Buttons::YesNoCancel);
    if (replace == Answer::Cancel) {
        services_.process.quit();
        return;
    }
    keepHostsFile = replace == Answer::No;
    bool written = prefs_.outputKeepHostsFile(keepHostsFile, paths_.prefs(), keepHostsFile);
    written = prefs_.outputPicturePath(paths_.defaultPicture(), paths_.prefs()) && written;
    std::string path = core::kSystemHostsPath;
    if (!services_.files.fileExists(path) && !chooseHostsFile(path)) {
        endProgram(services_);
        return;
    }
    if (!prefs_.outputHostsPath(path, paths_.prefs()) || !written) {
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
