#pragma once

#include <functional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace tessel::prefs {

// The readers, one-line rewriters and recreation of prefs.dat, with their dialogues. Each takes
// the file's path; the members they fill belong to the caller.
class Preferences final {
public:
    Preferences(platform::MessageBox& box, platform::FileSystem& files, platform::Process& process,
                std::function<void()> removeTrayIcon);
    // Callbacks hand out this object: it never moves.
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    bool keepHostsFileNotSet(const std::string& prefsFile);
    void inputKeepHostsFile(const std::string& prefsFile, bool& keepHostsFile);
    std::string inputPicturePath(const std::string& prefsFile);
    void inputHostsPath(const std::string& prefsFile, std::string& hostsPath);

    // Each reports its own failure and returns whether the line was written.
    bool outputPicturePath(const std::string& picturePath, const std::string& prefsFile);
    bool outputHostsPath(const std::string& hostsPath, const std::string& prefsFile);
    bool outputKeepHostsFile(bool keep, const std::string& prefsFile, bool& keepHostsFile);

    // Writes the defaults, then tells the user and ends the program; returns only when writing
    // failed.
    void recreatePrefsFile(const std::string& prefsFile);

private:
    // Line `line` of the file, or the description of why it could not be read.
    bool readLine(const std::string& prefsFile, int line, std::string& value, std::string& error);
    bool rewrite(const std::string& prefsFile, int line, const std::string& text);
    bool offerRecreate(const std::string& prefsFile, const std::string& prompt);
    void continueWithErrors();

    platform::MessageBox& box_;
    platform::FileSystem& files_;
    platform::Process& process_;
    std::function<void()> removeTrayIcon_;
};

}  // namespace tessel::prefs
