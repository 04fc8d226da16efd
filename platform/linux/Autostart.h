#pragma once

#include <string>

#include "platform/Result.h"

// Starting the program at login: while a desktop entry is in the user's autostart directory, the
// desktop session starts its program at every login.
namespace tessel::platform {

// configHome()/autostart/tessel.desktop.
std::string autostartEntryPath();
// The entry's text: `program`, by its full path, quoted as a desktop entry's Exec needs.
std::string autostartEntry(const std::string& program);
bool startsAtLogin();
// Writes the entry (making its directory where missing) or removes it; an entry that is already
// as asked succeeds.
Status startAtLogin(bool on, const std::string& program);

}  // namespace tessel::platform
