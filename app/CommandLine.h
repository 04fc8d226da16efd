#pragma once

#include <cstdio>
#include <string>

#include "core/Pieces.h"

// What the commands that print and end share (--export, --stats).
namespace tessel::app {

// The failure said on standard error; the command's exit status.
inline int fail(const std::string& what) {
    std::fprintf(stderr, "tessel: %s\n", what.c_str());
    return 1;
}

// False when standard output did not take the whole text.
inline bool writeOut(const core::Pieces& text) {
    text.write([](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stdout); });
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

}  // namespace tessel::app
