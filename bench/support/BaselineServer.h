#pragma once

#include <string_view>

namespace tessel::bench {

// The yardstick: the least a single-threaded epoll server can do for the same job. It accepts,
// sends the reply at once, and on the first readiness reads what came and closes. It keeps no
// count, no timeouts and no bound, and answers to no event loop but its own.
// Writes the bound port to readyFd (two bytes, host order), then serves until killed.
void runBaselineServer(std::string_view reply, int readyFd);

}  // namespace tessel::bench
