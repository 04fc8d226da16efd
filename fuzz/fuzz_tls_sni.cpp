// The ClientHello reader on any bytes: what it reads is a name, never changed by more bytes or by
// bytes past the limit, nor by how the handshake is cut into records.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/NameReads.h"

namespace core = tessel::core;
namespace fuzz = tessel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto read = core::serverNameFromHello;
    const auto name = fuzz::readName(read, bytes);

    // Every cut of short bytes, an even spread of cuts of long ones.
    const std::size_t step = std::max<std::size_t>(1, size / 256);
    for (std::size_t cut = 0; cut < size; cut += step) {
        fuzz::checkPrefix(read, bytes, name, cut);
    }
    if (size > 0) {
        const auto records = fuzz::split(bytes, 1 + data[size - 1]);
        TESSEL_CHECK(records.empty() || records.size() > core::kMostNameBytes ||
                     fuzz::readName(read, records) == name);
    }
    fuzz::checkLimit(read, bytes, '\0');
    return 0;
}
