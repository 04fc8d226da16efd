// The ClientHello reader on any bytes: what it reads is a name, never changed by more bytes or by
// bytes past the limit, nor by how the handshake is cut into records.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Names.h"
#include "fuzz/NameReads.h"

namespace core = tessel::core;
namespace fuzz = tessel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto read = core::serverNameFromHello;
    const auto name = fuzz::readName(read, bytes);

    // Every cut of short bytes, an even spread of cuts of long ones. A name written once (letter
    // case aside, with its final dot if it had one) is read from every cut past it: nothing after
    // it is waited for.
    std::string folded(bytes);
    core::lowerInPlace(folded);
    const auto at = name.empty() ? std::string::npos : folded.find(name);
    const bool once = at != std::string::npos && folded.find(name, at + 1) == std::string::npos;
    const bool dot = once && folded.substr(at + name.size()).starts_with('.');
    const std::size_t end = once ? at + name.size() + (dot ? 1 : 0) : 0;
    const std::size_t step = std::max<std::size_t>(1, size / 256);
    for (std::size_t cut = 0; cut < size; cut += step) {
        fuzz::checkPrefix(read, bytes, name, cut);
        TESSEL_CHECK(!once || cut < end || fuzz::readName(read, bytes.substr(0, cut)) == name);
    }
    if (size > 0) {
        const auto records = fuzz::split(bytes, 1 + data[size - 1]);
        TESSEL_CHECK(records.empty() || records.size() > core::kMostNameBytes ||
                     fuzz::readName(read, records) == name);
    }
    fuzz::checkLimit(read, bytes, '\0');
    return 0;
}
