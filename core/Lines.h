#pragma once

#include <string>
#include <string_view>

namespace tessel::core {

inline constexpr std::string_view kCrLf = "\r\n";

// Walks the lines of 8-bit text: a line ends at CR LF or at a lone LF, and the last line needs no
// line end. Calls fn(line) for each line, in order; stops early when fn returns false.
template <typename Fn>
void forEachLine(std::string_view bytes, Fn&& fn) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t lf = bytes.find('\n', start);
        if (lf == std::string_view::npos) {
            fn(bytes.substr(start));
            return;
        }
        std::size_t end = lf;
        if (end > start && bytes[end - 1] == '\r') {
            --end;
        }
        if (!fn(bytes.substr(start, end - start))) {
            return;
        }
        start = lf + 1;
    }
}

}  // namespace tessel::core
