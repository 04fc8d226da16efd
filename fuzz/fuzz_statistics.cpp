// stats.dat's reader on any bytes: nothing crashes, and whatever it takes is written back in the
// one form it reads again as the same statistics, trimmed within the bounds and counting the same
// connections.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Statistics.h"
#include "fuzz/Check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    namespace core = tessel::core;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto statistics = core::Statistics::parse(text);
    if (!statistics) {
        return 0;
    }
    const std::string written = statistics->format();
    const auto reread = core::Statistics::parse(written);
    TESSEL_CHECK(reread.has_value() && reread->format() == written);
    const std::uint64_t total = statistics->total();
    statistics->trim(0);
    TESSEL_CHECK(statistics->serverCount() <= core::kMostServers);
    TESSEL_CHECK(statistics->total() == total);
    return 0;
}
