#pragma once

#include <string>

// What this process may do itself, and where it keeps its files when the program directory is
// not its own.
namespace tessel::platform {

// Root, or a user who may both write /etc/hosts and bind port 80 (a lowered
// net.ipv4.ip_unprivileged_port_start, or the capability on the program): no helper is needed.
bool mayFilterAlone();

// The login name of the user this process runs as.
std::string userName();

// $XDG_CONFIG_HOME, or ~/.config when that is unset or not absolute.
std::string configHome();

// The directory the running program lies in, whatever directory it was started from.
std::string programDirectory();

// Empty when the program directory's data/ is writable; otherwise the user's own directory.
// userFilesOf only names it; userFilesFor also makes it when missing and seeds it with the
// shipped server list and prefs.dat the first time.
std::string userFilesOf(const std::string& programDirectory);
std::string userFilesFor(const std::string& programDirectory);

}  // namespace tessel::platform
