// Writes the default prefs.dat into a program directory's data/ unless one is there already, so a
// fresh installation starts with the first-run questions and a user's settings are never replaced.
// Usage: tessel_default_prefs PROGRAM_DIR [STAGING_DIR], where PROGRAM_DIR is the directory the
// program runs from and STAGING_DIR the one written now (an install's DESTDIR copy of it).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/PrefsFormat.h"
#include "core/ProgramPaths.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s PROGRAM_DIR [STAGING_DIR]\n", argv[0]);
        return 2;
    }
    const std::string programDirectory = argv[1];
    const std::string prefs = tessel::core::ProgramPaths{argc == 3 ? argv[2] : argv[1]}.prefs();
    std::error_code error;
    if (std::filesystem::exists(prefs, error)) {
        return 0;
    }
    std::ofstream out(prefs, std::ios::binary);
    out << tessel::core::defaultPrefs(programDirectory);
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", prefs.c_str());
        return 1;
    }
    return 0;
}
