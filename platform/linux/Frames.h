#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whole frames of the helper's protocol over a Unix stream socket, with a descriptor passed
// alongside where one goes with the message. Plain POSIX: both `tessel` and `tessel-helper` use it.
namespace tessel::platform {

// False when the peer is gone or the socket failed. `passed`, unless negative, travels with the
// frame's first byte.
bool sendFrame(int socket, std::string_view body, int passed = -1);
// The next frame's body; nothing at the end of the stream, on a failure, or for a frame whose
// announced size is out of bounds. A descriptor that came with it goes to `received` (close-on-
// exec), and is closed when `received` is null.
std::optional<std::string> receiveFrame(int socket, int* received = nullptr);

}  // namespace tessel::platform
