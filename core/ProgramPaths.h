#pragma once

#include <string>

namespace tessel::core {

// The HOSTS file a fresh installation filters, and the one the program's privileges are for.
inline constexpr const char* kSystemHostsPath = "/etc/hosts";

// The helper's kept copy of /etc/hosts in replace mode: root's own file (mode 0600) beside it, in
// the one directory the helper writes anyway, so it needs no directory of its own, lasts through a
// reboot, and cannot be changed by the user to have the helper write other bytes back. Its name is
// none of the writer's temporaries, which a start clears away.
inline constexpr const char* kHelperSavedHostsPath = "/etc/.hosts-before-tessel";
// Held by the one running helper: root's own, beside the file it guards.
inline constexpr const char* kHelperLockPath = "/etc/.tessel-helper.lock";

// The directory a file lies in: "/" for a file at the root, "." for a bare name.
inline std::string parentDirectory(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The user's directory for programs' files: $XDG_CONFIG_HOME, or ~/.config when that is unset or
// not absolute. The program's own files go in its tessel/ where its data/ is not theirs to write.
inline std::string configHome(const std::string& xdgConfigHome, const std::string& home) {
    return xdgConfigHome.starts_with('/') ? xdgConfigHome : home + "/.config";
}

// The shipped files live in data/ beside the program; the files the program writes live there
// too unless `userFiles` names the user's own directory for them. A program in a `bin` directory
// is installed the system's way (as the package does): its shipped files are in ../share/tessel
// and its helper in ../libexec/tessel, so nothing but the program itself lies on the PATH.
struct ProgramPaths final {
    std::string directory;
    std::string userFiles = {};

    bool installed() const { return directory.ends_with("/bin"); }
    std::string data() const {
        return installed() ? parentDirectory(directory) + "/share/tessel" : directory + "/data";
    }
    std::string files() const { return userFiles.empty() ? data() : userFiles; }
    std::string prefs() const { return files() + "/prefs.dat"; }
    std::string list() const { return files() + "/badHosts.dat"; }
    // The URLs of the subscribed block lists, the names never to write, and the last good copy
    // of each list with what its server said of it (`key` names the list).
    std::string lists() const { return files() + "/lists.dat"; }
    std::string allowed() const { return files() + "/allowed.dat"; }
    // The counts of blocked servers: the user's own, like the settings, so beside prefs.dat.
    std::string stats() const { return files() + "/stats.dat"; }
    std::string listCopy(const std::string& key) const { return files() + "/list-" + key + ".dat"; }
    std::string listState(const std::string& key) const {
        return files() + "/list-" + key + ".state";
    }
    // The HOSTS file as it was before replace mode wrote over it.
    std::string savedHosts() const { return files() + "/hosts-before-tessel.dat"; }
    std::string defaultPicture() const { return data() + "/Tessel.gif"; }
    // The child that holds the rights to the low ports and /etc/hosts.
    std::string helper() const {
        return (installed() ? parentDirectory(directory) + "/libexec/tessel" : directory) +
               "/tessel-helper";
    }
};

}  // namespace tessel::core
