#include "prefs/Preferences.h"

#include "core/PrefsFormat.h"

namespace tessel::prefs {
namespace {

using platform::Answer;
using platform::Buttons;

const std::string kOpenError = "Error opening prefs.dat file: ";

std::string corruptedPrompt(const std::string& error) {
    return "Error trying to read prefs.dat: " + error +
           "\r\nThis file is probably corrupted. Do you want to recreate prefs.dat?";
}

}  // namespace

Preferences::Preferences(platform::MessageBox& box, platform::FileSystem& files,
                         platform::Process& process, std::function<void()> removeTrayIcon)
    : box_(box), files_(files), process_(process), removeTrayIcon_(std::move(removeTrayIcon)) {}

bool Preferences::readLine(const std::string& prefsFile, int line, std::string& value,
                           std::string& error) {
    const auto read = files_.readFile(prefsFile);
    if (!read.ok()) {
        error = read.status.error();
        return false;
    }
    const auto lines = firstLines(read.bytes, line + 1);
    if (!lines) {
        error = kPastEndOfFile;
        return false;
    }
    value = lines->back();
    return true;
}

bool Preferences::offerRecreate(const std::string& prefsFile, const std::string& prompt) {
    if (box_.show(prompt, Buttons::YesNo) != Answer::Yes) {
        return false;
    }
    recreatePrefsFile(prefsFile);
    return true;
}

void Preferences::continueWithErrors() {
    box_.show(
        "Continuing with errors. If you do not fix these errors, the program will not function "
        "properly. Use with caution.");
}

bool Preferences::keepHostsFileNotSet(const std::string& prefsFile) {
    std::string line5;
    std::string error;
    if (!readLine(prefsFile, kKeepLine, line5, error)) {
        offerRecreate(prefsFile, corruptedPrompt(error));
        return true;
    }
    return parseKeep(line5) == KeepSetting::NotSet;
}

void Preferences::inputKeepHostsFile(const std::string& prefsFile, bool& keepHostsFile) {
    std::string line5;
    std::string error;
    if (!readLine(prefsFile, kKeepLine, line5, error)) {
        if (!offerRecreate(prefsFile, corruptedPrompt(error))) {
            continueWithErrors();
        }
        return;
    }
    switch (parseKeep(line5)) {
        case KeepSetting::Keep:
            keepHostsFile = true;
            return;
        case KeepSetting::Replace:
            keepHostsFile = false;
            return;
        case KeepSetting::NotSet:
            break;
    }
    if (!offerRecreate(prefsFile,
                       "Your prefs file seems to be corrupted (keepHostsFile not set to True or "
                       "False). Do you want to recreate prefs.dat?")) {
        continueWithErrors();
    }
}

std::string Preferences::inputPicturePath(const std::string& prefsFile) {
    std::string line1;
    std::string error;
    if (!readLine(prefsFile, kPictureLine, line1, error)) {
        box_.show(kOpenError + error);
        return {};
    }
    return line1;
}

void Preferences::inputHostsPath(const std::string& prefsFile, std::string& hostsPath) {
    std::string line2;
    std::string error;
    // A file with a first line but no second leaves the path empty rather than the picture's.
    if (!readLine(prefsFile, kHostsLine, line2, error)) {
        box_.show(kOpenError + error);
        return;
    }
    hostsPath = line2;
}

bool Preferences::rewrite(const std::string& prefsFile, int line, const std::string& text) {
    const auto read = files_.readFile(prefsFile);
    if (!read.ok()) {
        box_.show(kOpenError + read.status.error());
        return false;
    }
    const auto rewritten = rewriteLine(read.bytes, line, text);
    if (!rewritten) {
        box_.show(kOpenError + kPastEndOfFile);
        return false;
    }
    if (const auto status = files_.writeFile(prefsFile, *rewritten); !status.ok()) {
        box_.show(kOpenError + status.error());
        return false;
    }
    return true;
}

bool Preferences::outputPicturePath(const std::string& picturePath, const std::string& prefsFile) {
    return rewrite(prefsFile, kPictureLine, picturePath);
}

bool Preferences::outputHostsPath(const std::string& hostsPath, const std::string& prefsFile) {
    return rewrite(prefsFile, kHostsLine, hostsPath);
}

bool Preferences::outputKeepHostsFile(bool keep, const std::string& prefsFile,
                                      bool& keepHostsFile) {
    keepHostsFile = keep;
    return rewrite(prefsFile, kKeepLine, keepLine(keep));
}

void Preferences::recreatePrefsFile(const std::string& prefsFile) {
    const auto status = files_.writeFile(prefsFile, defaultPrefs(process_.programDirectory()));
    if (!status.ok()) {
        box_.show("Error saving prefs file: " + status.error());
        return;
    }
    box_.show("prefs.dat recreated sucessfully. Please re-open Tessel.");
    if (removeTrayIcon_) {
        removeTrayIcon_();
    }
    process_.endProgram();
}

}  // namespace tessel::prefs
