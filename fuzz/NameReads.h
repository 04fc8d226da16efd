#pragma once

// Properties both readers of server names share, for fuzz_http_host and fuzz_tls_sni, and the
// records a ClientHello may be cut into, for fuzz_tls_sni and the unit tests.
#include <string>
#include <string_view>

#include "core/BlockLists.h"
#include "core/ServerName.h"
#include "fuzz/Check.h"

namespace tessel::fuzz {

using Read = bool (*)(std::string_view, std::string&);

// The name read, "" for none, after checking it is one a resolver can look up and that nothing a
// caller left in the string survives.
inline std::string readName(Read read, std::string_view bytes) {
    std::string name = "Stale.";
    const bool found = read(bytes, name);
    TESSEL_CHECK(found ? core::isName(name) && !name.ends_with('.') : name.empty());
    return name;
}

// No byte past the first kMostNameBytes counts: `bytes` filled up to that many with `fill`, then
// anything after.
inline void checkLimit(Read read, std::string_view bytes, char fill) {
    std::string padded(bytes.substr(0, core::kMostNameBytes));
    padded.resize(core::kMostNameBytes, fill);
    const auto name = readName(read, padded);
    TESSEL_CHECK(name == readName(read, padded + std::string(bytes)));
    TESSEL_CHECK(bytes.size() < core::kMostNameBytes || name == readName(read, bytes));
}

// A prefix that names a server names the one the whole bytes name: a name is read only once it
// arrived whole, and later bytes never change it.
inline void checkPrefix(Read read, std::string_view bytes, std::string_view whole,
                        std::size_t size) {
    const auto name = readName(read, bytes.substr(0, size));
    TESSEL_CHECK(name.empty() || name == whole);
}

// `bytes` as records of at most `size` bytes, when it is exactly one handshake record; else "".
inline std::string split(std::string_view bytes, std::size_t size) {
    const auto byte = [&](std::size_t at) {
        return std::size_t{static_cast<unsigned char>(bytes[at])};
    };
    std::string out;
    if (bytes.size() < 5 || byte(0) != 22 || bytes.size() != 5 + (byte(3) << 8 | byte(4))) {
        return out;
    }
    for (std::size_t at = 5; at < bytes.size(); at += size) {
        const auto part = bytes.substr(at, size);
        out.append(bytes.substr(0, 3))
            .append({static_cast<char>(part.size() >> 8), static_cast<char>(part.size() & 0xff)})
            .append(part);
    }
    return out;
}

}  // namespace tessel::fuzz
