#pragma once

#include <string>

#include "app/Services.h"
#include "prefs/Preferences.h"

namespace tessel::app {

// prefs.dat's readers and one-line writers, with their dialogues: a file that cannot be read is
// offered for recreation. Each takes the file's path; the members they fill are the caller's.
class PrefsFile final {
public:
    explicit PrefsFile(const Services& services);
    PrefsFile(const PrefsFile&) = delete;
    PrefsFile& operator=(const PrefsFile&) = delete;

    bool keepHostsFileNotSet(const std::string& prefsFile);
    void inputKeepHostsFile(const std::string& prefsFile, bool& keepHostsFile);
    std::string inputPicturePath(const std::string& prefsFile);
    void inputHostsPath(const std::string& prefsFile, std::string& hostsPath);

    // Each tells of its own failure and returns whether the line was written.
    bool outputPicturePath(const std::string& picturePath, const std::string& prefsFile);
    bool outputHostsPath(const std::string& hostsPath, const std::string& prefsFile);
    bool outputKeepHostsFile(bool keep, const std::string& prefsFile, bool& keepHostsFile);

    // Writes the defaults, then tells the user and ends the program; false when writing failed.
    bool recreatePrefsFile(const std::string& prefsFile);

private:
    bool rewrite(const std::string& prefsFile, int line, const std::string& text);
    bool offerRecreate(const std::string& prefsFile, const std::string& prompt);
    void continueWithErrors();

    const Services& services_;
    prefs::Preferences file_;
};

}  // namespace tessel::app
