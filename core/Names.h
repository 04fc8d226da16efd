#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// What every reader of server names shares: the lists, the requests, the statistics.
namespace tessel::core {

// The longest name DNS allows.
inline constexpr std::size_t kLongestName = 253;

// Names are ASCII: only its letters have a case, and folding them needs no locale.
inline char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline void lowerInPlace(std::string& text) {
    for (char& c : text) {
        c = lowerAscii(c);
    }
}

// Tables of names looked up by string_view: a lookup makes no string.
struct NameHash final {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const {
        return std::hash<std::string_view>{}(name);
    }
};

}  // namespace tessel::core
