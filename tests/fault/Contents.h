#pragma once

#include <cstdio>
#include <string>

namespace tessel::fault {

// Two large contents that differ in every line, so any mix of the two, or a cut, is visible.
// Each line names its content and its number: "A 0000012 ...\r\n".
inline std::string killContent(char which, std::size_t bytes) {
    std::string out;
    out.reserve(bytes + 64);
    char line[64];
    for (unsigned long i = 0; out.size() < bytes; ++i) {
        std::snprintf(line, sizeof line, "%c %07lu 127.0.0.1 server-%c.kill.example\r\n", which, i,
                      which);
        out += line;
    }
    out.resize(bytes);
    return out;
}

inline constexpr std::size_t kSizeA = std::size_t{2} << 20;
inline constexpr std::size_t kSizeB = std::size_t{3} << 20;

}  // namespace tessel::fault
