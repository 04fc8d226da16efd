#pragma once

#include <string_view>

namespace tessel::bench {

// The yardstick: the least a single-threaded epoll server can do for the same job. It accepts,
// sends the reply at once and reads once: it closes when the request (or the end) is there, and
// only a connection with nothing yet goes into its epoll set, to be read and closed when ready. It
// keeps no count, no timeouts and no bound, and answers to no event loop but its own. Writes the
// bound port to readyFd (two bytes, host order), then serves until killed.
void runBaselineServer(std::string_view reply, int readyFd);

}  // namespace tessel::bench
