#pragma once

// What the file tests share: a scratch directory per case, and file contents.

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "core/Pieces.h"

namespace tessel::fault {

// The bytes handed over a few at a time, as the HOSTS writer hands over its text.
inline core::Pieces inPieces(std::string_view bytes, std::size_t piece) {
    return {bytes.size(), [bytes, piece](const core::PieceSink& sink) {
                for (std::size_t at = 0; at < bytes.size(); at += piece) {
                    sink(bytes.substr(at, piece));
                }
            }};
}

inline std::string contentOf(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void put(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::set<std::string> entries(const std::string& dir) {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// A directory of its own under /tmp (never the machine's /etc), gone with the object together with
// whatever FaultTest mounted on it in its private namespace.
class Scratch final {
public:
    Scratch() {
        char pattern[] = "/tmp/tessel-XXXXXX";
        dir = ::mkdtemp(pattern) != nullptr ? pattern : "/nonexistent";
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() {
        ::umount2(dir.c_str(), MNT_DETACH);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string operator/(const std::string& name) const { return dir + "/" + name; }

    std::string dir;
};

}  // namespace tessel::fault
