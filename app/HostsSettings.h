#pragma once

#include "app/Services.h"
#include "platform/FileDialog.h"
#include "prefs/Preferences.h"

namespace tessel::app {

// Where the HOSTS file is, and whether Tessel keeps the user's own file or replaces it.
class HostsSettings final {
public:
    HostsSettings(const Services& services, prefs::Preferences& prefs, Settings& settings,
                  platform::FileDialog& dialog, std::string prefsFile);

    void changePath();
    void keepOrReplace();

private:
    const Services& services_;
    prefs::Preferences& prefs_;
    Settings& settings_;
    platform::FileDialog& dialog_;
    std::string prefsFile_;
};

}  // namespace tessel::app
