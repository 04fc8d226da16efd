#pragma once

#include <string>

#include "platform/FileDialog.h"
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

// Shows an open dialog for a file that must exist; false when the user cancelled (silently) or
// the dialog failed (reported with the given icon).
bool chooseExistingFile(platform::MessageBox& box, platform::FileDialog& dialog,
                        const std::string& initDir, platform::Icon errorIcon);

}  // namespace tessel::app
