#pragma once

#include <cstdint>

namespace tessel::platform {

// A non-blocking socket listening on 127.0.0.1:port only, never on another interface; -1 with
// the system's error number in `error` when it cannot be had.
int listenOnLoopback(std::uint16_t port, int& error);

}  // namespace tessel::platform
