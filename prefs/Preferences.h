#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace tessel::prefs {

// prefs.dat's lines read and rewritten one at a time. Each says why it failed; telling the user
// (and offering to recreate the file) is the caller's.
class Preferences final {
public:
    explicit Preferences(platform::FileSystem& files) : files_(files) {}
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    struct Line final {
        std::string value;
        platform::Status status;
        bool ok() const { return status.ok(); }
    };
    Line read(const std::string& prefsFile, int line) const;
    platform::Status write(const std::string& prefsFile, int line, const std::string& text);
    // The defaults of a fresh installation in `programDirectory`.
    platform::Status recreate(const std::string& prefsFile, const std::string& programDirectory);

private:
    platform::FileSystem& files_;
};

}  // namespace tessel::prefs
