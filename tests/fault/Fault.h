#pragma once

// Helpers shared by the fault tests: scratch directories, small file systems that fill up, and
// file comparisons. Every mount is made inside the private mount namespace FaultMain.cpp enters,
// so the machine never sees it and it goes away with the test process.

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace tessel::fault {

// Set by FaultMain.cpp when the process runs as root in a mount namespace of its own.
extern bool privateMounts;

// Read in one piece: the SIGKILL test reads megabytes per kill, and a character-wise read is slow
// in a sanitizer build.
inline std::string contentOf(const std::string& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// Compares a file with the bytes it should hold; a failure names sizes and the first difference
// instead of printing what may be megabytes.
inline ::testing::AssertionResult holds(const std::string& file, const std::string& expected) {
    const std::string now = contentOf(file);
    if (now == expected) {
        return ::testing::AssertionSuccess();
    }
    std::size_t at = 0;
    while (at < now.size() && at < expected.size() && now[at] == expected[at]) {
        ++at;
    }
    return ::testing::AssertionFailure() << file << " holds " << now.size() << " bytes, expected "
                                         << expected.size() << "; first difference at byte " << at;
}

inline bool exists(const std::string& file) {
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0;
}

inline void put(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::set<std::string> entries(const std::string& dir) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The temporary files a write leaves behind when it does not finish.
inline std::vector<std::string> temporaries(const std::string& dir) {
    std::vector<std::string> found;
    for (const auto& name : entries(dir)) {
        if (name.starts_with(".tessel-")) {
            found.push_back(dir + "/" + name);
        }
    }
    return found;
}

inline std::string makeScratch(const char* tag) {
    std::string pattern = std::string("/tmp/tessel-") + tag + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return pattern;
}

inline bool mountTmpfs(const std::string& dir, const std::string& size) {
    const std::string options = "size=" + size + ",mode=0755";
    return ::mount("tessel-fault", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) ==
           0;
}

// Takes every free block of the file system that holds `dir`, so the next write finds none.
// Returns the bytes it managed to place.
inline long fill(const std::string& dir) {
    const std::string filler = dir + "/filler";
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return -1;
    }
    const std::string block(4096, 'f');
    long total = 0;
    // The file system is tiny: a few hundred blocks at most, so the loop ends on ENOSPC quickly;
    // the bound only guards against a mount that is not the small one it should be.
    for (int i = 0; i < 100'000; ++i) {
        const ssize_t written = ::write(fd, block.data(), block.size());
        if (written <= 0) {
            break;
        }
        total += written;
    }
    // The last partial block too: bytes, not whole blocks, are what a write needs.
    for (int i = 0; i < 4096; ++i) {
        if (::write(fd, "f", 1) != 1) {
            break;
        }
        ++total;
    }
    ::close(fd);
    return total;
}

}  // namespace tessel::fault
