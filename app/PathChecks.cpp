#include "app/PathChecks.h"

#include "core/HostsText.h"

namespace tessel::app {

using platform::Buttons;

bool storablePath(platform::MessageBox& box, const std::string& path) {
    if (path.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos) {
        return true;
    }
    box.show("The path \"" + path +
                 "\" holds a line break, which Tessel cannot store.\r\n"
                 "Please rename the file or choose another one.",
             Buttons::Ok, platform::Icon::Exclamation);
    return false;
}

bool usableHostsPath(platform::MessageBox& box, platform::FileSystem& files,
                     const std::string& path, const std::string& inUse) {
    if (!storablePath(box, path)) {
        return false;
    }
    const auto current = files.readFile(path);
    if (!current.ok() || hosts::isHostsText(current.bytes)) {
        return true;
    }
    box.show("\"" + path +
                 "\" is not a HOSTS file: it has lines that are neither blank, nor "
                 "comments, nor an address followed by names.\r\n"
                 "Tessel goes on using \"" +
                 inUse + "\".",
             Buttons::Ok, platform::Icon::Exclamation);
    return false;
}

bool chooseExistingFile(platform::MessageBox& box, platform::FileDialog& dialog,
                        const std::string& initDir, platform::Icon errorIcon) {
    dialog.flags = platform::kFlagFileMustExist | platform::kFlagHideReadOnly;
    dialog.initDir = initDir;
    dialog.cancelError = true;
    const auto error = dialog.showOpen();
    if (error && error->number != platform::kCancelErrorNumber) {
        box.show("Error: " + error->description, Buttons::Ok, errorIcon);
    }
    return !error;
}

}  // namespace tessel::app
