#include "app/PrefsFile.h"

#include "core/PrefsFormat.h"

namespace tessel::app {
namespace {

using platform::Answer;
using platform::Buttons;

const std::string kOpenError = "Error opening prefs.dat file: ";

std::string corruptedPrompt(const std::string& error) {
    return "Error trying to read prefs.dat: " + error +
           "\r\nThis file is probably corrupted. Do you want to recreate prefs.dat?";
}

}  // namespace

PrefsFile::PrefsFile(const Services& services) : services_(services), file_(services.files) {}

bool PrefsFile::offerRecreate(const std::string& prefsFile, const std::string& prompt) {
    if (services_.box.show(prompt, Buttons::YesNo) != Answer::Yes) {
        return false;
    }
    recreatePrefsFile(prefsFile);
    return true;
}

void PrefsFile::continueWithErrors() {
    services_.box.show(
        "Continuing with errors. If you do not fix these errors, the program will not function "
        "properly. Use with caution.");
}

bool PrefsFile::keepHostsFileNotSet(const std::string& prefsFile) {
    const auto line5 = file_.read(prefsFile, core::kKeepLine);
    if (!line5.ok()) {
        offerRecreate(prefsFile, corruptedPrompt(line5.status.error()));
        return true;
    }
    return core::parseKeep(line5.value) == core::KeepSetting::NotSet;
}

void PrefsFile::inputKeepHostsFile(const std::string& prefsFile, bool& keepHostsFile) {
    const auto line5 = file_.read(prefsFile, core::kKeepLine);
    if (!line5.ok()) {
        if (!offerRecreate(prefsFile, corruptedPrompt(line5.status.error()))) {
            continueWithErrors();
        }
        return;
    }
    switch (core::parseKeep(line5.value)) {
        case core::KeepSetting::Keep:
            keepHostsFile = true;
            return;
        case core::KeepSetting::Replace:
            keepHostsFile = false;
            return;
        case core::KeepSetting::NotSet:
            break;
    }
    if (!offerRecreate(prefsFile,
                       "Your prefs file seems to be corrupted (keepHostsFile not set to True or "
                       "False). Do you want to recreate prefs.dat?")) {
        continueWithErrors();
    }
}

std::string PrefsFile::inputPicturePath(const std::string& prefsFile) {
    const auto line1 = file_.read(prefsFile, core::kPictureLine);
    if (!line1.ok()) {
        services_.box.show(kOpenError + line1.status.error());
    }
    return line1.value;
}

void PrefsFile::inputHostsPath(const std::string& prefsFile, std::string& hostsPath) {
    // A file with a first line but no second leaves the path empty rather than the picture's.
    const auto line2 = file_.read(prefsFile, core::kHostsLine);
    if (!line2.ok()) {
        services_.box.show(kOpenError + line2.status.error());
        return;
    }
    hostsPath = line2.value;
}

bool PrefsFile::rewrite(const std::string& prefsFile, int line, const std::string& text) {
    const auto status = file_.write(prefsFile, line, text);
    if (!status.ok()) {
        services_.box.show(kOpenError + status.error());
    }
    return status.ok();
}

bool PrefsFile::outputPicturePath(const std::string& picturePath, const std::string& prefsFile) {
    return rewrite(prefsFile, core::kPictureLine, picturePath);
}

bool PrefsFile::outputHostsPath(const std::string& hostsPath, const std::string& prefsFile) {
    return rewrite(prefsFile, core::kHostsLine, hostsPath);
}

bool PrefsFile::outputKeepHostsFile(bool keep, const std::string& prefsFile, bool& keepHostsFile) {
    keepHostsFile = keep;
    return rewrite(prefsFile, core::kKeepLine, core::keepLine(keep));
}

bool PrefsFile::recreatePrefsFile(const std::string& prefsFile) {
    const auto status = file_.recreate(prefsFile, services_.process.programDirectory());
    if (!status.ok()) {
        services_.box.show("Error saving prefs file: " + status.error());
        return false;
    }
    services_.box.show("prefs.dat recreated sucessfully. Please re-open Tessel.");
    endProgram(services_);
    return true;
}

}  // namespace tessel::app
