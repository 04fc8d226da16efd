#pragma once

#include <string>

namespace tessel::platform {

// This machine's name as the system knows it; empty when it cannot say.
std::string hostName();

}  // namespace tessel::platform
