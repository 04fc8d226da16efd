#pragma once

#include <optional>
#include <string>

#include "platform/FilePicker.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"

// The checks every chosen path passes; each tells the user why it refuses.
namespace tessel::app {

// A line break would split prefs.dat's lines (and a reply's header); a NUL would cut the path.
bool storablePath(platform::MessageBox& box, const std::string& path);

// Replace mode overwrites the chosen file and later removes it: a file that is not a HOSTS file
// (say, the password file) is never taken.
bool usableHostsPath(platform::MessageBox& box, platform::FileSystem& files,
                     const std::string& path, const std::string& inUse);

// What every open dialog of the program lists.
inline const std::string kAllFiles = "All Files (*.*)|*.*";

// An existing file picked in an open dialog that starts where `current` is; nothing when the user
// cancelled (silently) or the dialog failed (said, with the given icon).
std::optional<std::string> chooseExistingFile(platform::MessageBox& box,
                                              platform::FilePicker& picker,
                                              const std::string& current, platform::Icon errorIcon);

}  // namespace tessel::app
