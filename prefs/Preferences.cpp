#include "prefs/Preferences.h"

#include "core/PrefsFormat.h"

namespace tessel::prefs {

Preferences::Line Preferences::read(const std::string& prefsFile, int line) const {
    const auto read = files_.readFile(prefsFile);
    if (!read.ok()) {
        return {{}, read.status};
    }
    const auto lines = core::firstLines(read.bytes, line + 1);
    if (!lines) {
        return {{}, platform::Status::failure(core::kPastEndOfFile)};
    }
    return {lines->back(), {}};
}

platform::Status Preferences::write(const std::string& prefsFile, int line,
                                    const std::string& text) {
    const auto read = files_.readFile(prefsFile);
    if (!read.ok()) {
        return read.status;
    }
    const auto rewritten = core::rewriteLine(read.bytes, line, text);
    if (!rewritten) {
        return platform::Status::failure(core::kPastEndOfFile);
    }
    return files_.writeFile(prefsFile, *rewritten);
}

platform::Status Preferences::recreate(const std::string& prefsFile,
                                       const std::string& programDirectory) {
    return files_.writeFile(prefsFile, core::defaultPrefs(programDirectory));
}

}  // namespace tessel::prefs
