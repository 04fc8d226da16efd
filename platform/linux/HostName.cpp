#include "platform/linux/HostName.h"

#include <unistd.h>

#include <climits>

namespace tessel::platform {

std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

}  // namespace tessel::platform
