#pragma once

#include <string>

#include "platform/FilePicker.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/RedirectListener.h"
#include "platform/SingleInstance.h"
#include "platform/Tray.h"
#include "platform/Worker.h"
#include "platform/ZOrder.h"

namespace tessel::app {

// What a second start says, whoever's Tessel is running: there is one per machine.
inline const std::string kAlreadyRunning = "Sorry, Tessel is already running!";

// Everything the program needs from the world outside it.
struct Services final {
    platform::MessageBox& box;
    platform::FilePicker& picker;
    platform::FileSystem& files;
    platform::Process& process;
    platform::SingleInstance& instance;
    platform::ZOrder& zorder;
    platform::Tray& tray;
    platform::RedirectListener& listener;
    platform::Worker& worker;
};

// The one way the program ends: the icon goes, and once the caller has returned the event loop
// returns from main, where every destructor runs.
inline void endProgram(const Services& services) {
    services.tray.remove();
    services.process.quit();
}

// What prefs.dat says, as start-up read it and the commands changed it since. A HOSTS path chosen
// while running is only written to prefs.dat: the path in use stays until the next start.
struct Settings final {
    std::string hostsPath;
    std::string picturePath;
    bool keepHostsFile = false;
};

}  // namespace tessel::app
