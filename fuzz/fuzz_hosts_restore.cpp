// Keep mode's round trip: whatever the user's HOSTS file holds, appending the block and taking it
// out again gives back exactly that file, also when a block left by a run that never restored is
// still there. The first byte sets where the input splits into the user's file and the list.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/HostsText.h"
#include "fuzz/Check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    namespace core = tessel::core;
    if (size == 0) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = input.size() * data[0] / 255;
    const std::string user(input.substr(0, split));
    const std::string_view list = input.substr(split);
    (void)core::restoreKeepMode(input);

    // A file holding the marker or written whole by replace mode is not one a user could have had
    // before the first start in keep mode.
    if (user.find(core::kMarker) != std::string::npos || core::isReplaceModeFile(user)) {
        return 0;
    }
    TESSEL_CHECK(!core::restoreKeepMode(user).has_value());
    TESSEL_CHECK(core::restoreKeepMode(user + core::keepModeBlock(list)) == user);
    TESSEL_CHECK(core::restoreKeepMode(user + core::keepModeBlock(list) +
                                       core::keepModeBlock(user)) == user);
    return 0;
}
