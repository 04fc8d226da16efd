// The ClientHello reader on any bytes: what it reads is a name, never changed by more bytes or by
// bytes past the limit, nor by how the handshake is cut into records.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/NameReads.h"

namespace core = tessel::core;
namespace fuzz = tessel::fuzz;

namespace {

// `bytes` as records of at most `size` bytes, when it is exactly one handshake record.
std::string split(std::string_view bytes, std::size_t size) {
    std::string out;
    const auto length = bytes.size() < 5 ? 0u
                                         : std::size_t{static_cast<uint8_t>(bytes[3])} << 8 |
                                               static_cast<uint8_t>(bytes[4]);
    if (bytes.size() < 5 || bytes[0] != 22 || bytes.size() != 5 + length) {
        return out;
    }
    for (std::size_t at = 5; at < bytes.size(); at += size) {
        const auto part = bytes.substr(at, size);
        out.append(bytes.substr(0, 3))
            .append(1, static_cast<char>(part.size() >> 8))
            .append(1, static_cast<char>(part.size() & 0xff))
            .append(part);
    }
    return out;
}

}  // namespace

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
        const auto records = split(bytes, 1 + data[size - 1]);
        TESSEL_CHECK(records.empty() || records.size() > core::kMostNameBytes ||
                     fuzz::readName(read, records) == name);
    }
    fuzz::checkLimit(read, bytes, '\0');
    return 0;
}
