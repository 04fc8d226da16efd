#pragma once

#include <functional>
#include <string>

#include "app/Counter.h"
#include "app/Services.h"
#include "hosts/HostsWriter.h"
#include "responder/Responder.h"
#include "ui/MainWindow.h"

namespace tessel::app {

// What the user is told of a HOSTS write or give-back that failed.
std::string hostsMessage(const core::Outcome& outcome);

// Filtering on and off: the HOSTS file written while the ports listen, and given back on pause,
// on exit and at every other end of the program.
class Filtering final {
public:
    Filtering(const Services& services, const ui::MenuItems& items, const Settings& settings,
              hosts::HostsWriter& hosts, responder::Responder& responder, Counter& counter,
              std::function<bool()> recreatePrefsFile);
    Filtering(const Filtering&) = delete;
    Filtering& operator=(const Filtering&) = delete;

    bool isPaused() const { return paused_; }

    // With the settings read: what a killed run left is put back, then the ports listen, then
    // the HOSTS file is written and the tray icon shows. False when the program ends instead.
    bool start();
    void pause();
    void resume();
    void exit();
    // Logout, a hang-up, an interrupt or a termination request.
    void sessionEnding();
    // The process ends some other way (the display connection broke): only the HOSTS file is
    // given back. Whoever calls it makes sure no message box can show.
    void giveBackQuietly();
    // The server list changed: unless paused (Resume writes the new list), the HOSTS file is
    // given back and written anew, as one step on the worker; `written` follows when it was.
    void rewrite(std::function<void()> written = {});
    // The same after the user edited a list: a rewritten file is news for the browsers.
    void rewriteAndTell();

private:
    void removeLeftovers();
    bool startListening();
    bool makeHostsFile();
    void giveBackHostsFile();
    // Tells the user what came of a write or give-back, asking what a failed write asks; false
    // when the program ends.
    bool tell(const core::Outcome& outcome);
    void setPausedMenus(bool paused);
    void finishWrites();

    const Services& services_;
    const ui::MenuItems& items_;
    const Settings& settings_;
    hosts::HostsWriter& hosts_;
    responder::Responder& responder_;
    Counter& counter_;
    std::function<bool()> recreatePrefsFile_;
    bool paused_ = false;
    bool hostsTouched_ = false;
    bool ending_ = false;
};

}  // namespace tessel::app
