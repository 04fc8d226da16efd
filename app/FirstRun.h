#pragma once

#include "app/PrefsFile.h"
#include "app/Services.h"
#include "core/ProgramPaths.h"
#include "platform/FilePicker.h"

namespace tessel::app {

// The questions of the first start: keep or replace the HOSTS file, and where it is.
class FirstRun final {
public:
    FirstRun(const Services& services, PrefsFile& prefs, core::ProgramPaths paths);

    // Asks, and writes every answer to prefs.dat; Cancel ends the program.
    void run(bool& keepHostsFile);

private:
    bool chooseHostsFile(std::string& path);

    const Services& services_;
    PrefsFile& prefs_;
    core::ProgramPaths paths_;
};

}  // namespace tessel::app
