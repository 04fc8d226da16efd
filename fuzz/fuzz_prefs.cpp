// prefs.dat's reader and line rewriter on any bytes: nothing crashes, and a rewritten line reads
// back as written while the file stays five CR LF lines with the other lines as they were. The
// first byte gives the length of the replacement text that follows it; the rest is the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/PrefsFormat.h"
#include "fuzz/Check.h"

namespace {

namespace core = tessel::core;
using Lines = std::optional<std::vector<std::string>>;

bool isFiveCrLfLines(std::string_view file) {
    int lines = 0;
    for (auto at = file.find('\n'); at != std::string_view::npos; at = file.find('\n', at + 1)) {
        if (at == 0 || file[at - 1] != '\r') {
            return false;
        }
        ++lines;
    }
    return lines == core::kLineCount && file.ends_with("\r\n");
}

// The rewritten file's lines, or nothing where the file has too few lines to rewrite.
Lines checkRewrite(std::string_view file, int line, std::string_view text) {
    const auto rewritten = core::rewriteLine(file, line, text);
    const auto original =
        core::firstLines(file, core::kLineCount - (line == core::kKeepLine ? 1 : 0));
    TESSEL_CHECK(rewritten.has_value() == original.has_value());
    if (!rewritten) {
        return std::nullopt;
    }
    TESSEL_CHECK(isFiveCrLfLines(*rewritten));
    auto lines = core::firstLines(*rewritten, core::kLineCount);
    TESSEL_CHECK(lines.has_value());
    for (std::size_t i = 0; i < lines->size(); ++i) {
        const auto& expected = static_cast<int>(i) == line ? text : (*original)[i];
        TESSEL_CHECK(i >= original->size() || (*lines)[i] == expected);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t textLength = std::min<std::size_t>(data[0], size - 1);
    // Callers hand in one line's text; a line end inside it is theirs to keep out.
    std::string text(input.substr(1, textLength));
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    const std::string_view file = input.substr(1 + textLength);

    for (int count = -1; count <= core::kLineCount + 1; ++count) {
        const auto lines = core::firstLines(file, count);
        TESSEL_CHECK(lines ? lines->size() == static_cast<std::size_t>(std::max(count, 0))
                           : count > 0);
    }
    (void)core::parseKeep(file);
    for (int line = 0; line < core::kLineCount; ++line) {
        checkRewrite(file, line, text);
    }
    for (const bool keep : {true, false}) {
        const auto lines = checkRewrite(file, core::kKeepLine, core::keepLine(keep));
        const auto expected = keep ? core::KeepSetting::Keep : core::KeepSetting::Replace;
        TESSEL_CHECK(!lines || core::parseKeep((*lines)[core::kKeepLine]) == expected);
    }
    return 0;
}
