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
    if (!current.ok() || core::isHostsText(current.bytes)) {
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

std::optional<std::string> chooseExistingFile(platform::MessageBox& box,
                                              platform::FilePicker& picker,
                                              const std::string& current,
                                              platform::Icon errorIcon) {
    const auto picked = picker.pick({current, {}, kAllFiles, true});
    if (picked.kind == platform::PickResult::Kind::Failed) {
        box.show("Error: " + picked.value, Buttons::Ok, errorIcon);
    }
    if (picked.kind != platform::PickResult::Kind::Chosen) {
        return std::nullopt;
    }
    return picked.value;
}

}  // namespace tessel::app
