#pragma once

#include "app/PrefsFile.h"
#include "app/Services.h"
#include "platform/FilePicker.h"

namespace tessel::app {

// Where the HOSTS file is, and whether Tessel keeps the user's own file or replaces it.
class HostsSettings final {
public:
    HostsSettings(const Services& services, PrefsFile& prefs, Settings& settings,
                  std::string prefsFile);

    void changePath();
    void keepOrReplace();

private:
    const Services& services_;
    PrefsFile& prefs_;
    Settings& settings_;
    std::string prefsFile_;
};

}  // namespace tessel::app
