#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tessel::platform {

// An eventfd as a doorbell between two threads: one rings, the other waits for it and clears it.
inline void ring(int event) {
    const std::uint64_t one = 1;
    while (::write(event, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

inline void clear(int event) {
    std::uint64_t count = 0;
    while (::read(event, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

}  // namespace tessel::platform
