#pragma once

#include <string>

namespace tessel {

// The HOSTS file a fresh installation filters, and the one the program's privileges are for.
inline constexpr const char* kSystemHostsPath = "/etc/hosts";

// The directory a file lies in: "/" for a file at the root, "." for a bare name.
inline std::string parentDirectory(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Every file the program keeps lives in data/ beside the program itself.
struct ProgramPaths final {
    std::string directory;

    std::string data() const { return directory + "/data"; }
    std::string prefs() const { return data() + "/prefs.dat"; }
    std::string list() const { return data() + "/badHosts.dat"; }
    // The HOSTS file as it was before replace mode wrote over it.
    std::string savedHosts() const { return data() + "/hosts-before-tessel.dat"; }
    std::string defaultPicture() const { return data() + "/Tessel.gif"; }
};

}  // namespace tessel
