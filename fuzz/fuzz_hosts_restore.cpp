// Keep mode's round trip: whatever the user's HOSTS file holds, appending the block and taking it
// out again must give back exactly that file. The first byte sets where the input splits into the
// user's file and the server list.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/HostsText.h"
#include "fuzz/Check.h"

namespace {

using tessel::hosts::isReplaceModeFile;
using tessel::hosts::keepModeBlock;
using tessel::hosts::kMarker;
using tessel::hosts::restoreKeepMode;

void checkRoundTrip(const std::string& user, std::string_view list) {
    TESSEL_CHECK(!restoreKeepMode(user).has_value());

    const auto restored = restoreKeepMode(user + keepModeBlock(list));
    TESSEL_CHECK(restored.has_value());
    TESSEL_CHECK(*restored == user);

    // A second start in keep mode works on what the first exit gave back.
    const auto again = restoreKeepMode(*restored + keepModeBlock(list));
    TESSEL_CHECK(again.has_value());
    TESSEL_CHECK(*again == user);

    // A block left behind by a run that never got to restore goes together with the new one.
    const auto twice = restoreKeepMode(user + keepModeBlock(list) + keepModeBlock(user));
    TESSEL_CHECK(twice.has_value());
    TESSEL_CHECK(*twice == user);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = input.size() * data[0] / 255;
    const std::string user(input.substr(0, split));
    const std::string_view list = input.substr(split);

    // Restoring any file at all must not crash, whatever it makes of it.
    (void)restoreKeepMode(input);

    // A file that already holds the marker or was written whole by replace mode is not one a user
    // could have had before the program's first start in keep mode.
    if (user.find(kMarker) != std::string::npos || isReplaceModeFile(user)) {
        return 0;
    }
    checkRoundTrip(user, list);
    return 0;
}
