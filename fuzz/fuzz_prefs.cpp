// prefs.dat's reader and line rewriter on any bytes. The first byte gives the length of the
// replacement text that follows it; the rest is the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/PrefsFormat.h"
#include "fuzz/Check.h"

namespace {

using tessel::prefs::firstLines;
using tessel::prefs::keepLine;
using tessel::prefs::KeepSetting;
using tessel::prefs::kKeepLine;
using tessel::prefs::kLineCount;
using tessel::prefs::parseKeep;
using tessel::prefs::rewriteLine;

// Five lines, each ended by CR LF and holding no line feed of its own.
bool isFiveCrLfLines(std::string_view file) {
    int lines = 0;
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '\n') {
            if (i == 0 || file[i - 1] != '\r') {
                return false;
            }
            ++lines;
        }
    }
    return lines == kLineCount && file.ends_with("\r\n");
}

void checkRewrite(std::string_view file, int line, std::string_view text) {
    const auto rewritten = rewriteLine(file, line, text);
    const auto original = firstLines(file, line == kKeepLine ? kLineCount - 1 : kLineCount);
    TESSEL_CHECK(rewritten.has_value() == original.has_value());
    if (!rewritten) {
        return;
    }
    TESSEL_CHECK(isFiveCrLfLines(*rewritten));
    const auto lines = firstLines(*rewritten, kLineCount);
    TESSEL_CHECK(lines.has_value());
    for (int i = 0; i < kLineCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (i == line) {
            TESSEL_CHECK((*lines)[index] == text);
        } else if (index < original->size()) {
            TESSEL_CHECK((*lines)[index] == (*original)[index]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t textLength = std::min<std::size_t>(data[0], size - 1);
    // Callers hand in one line's text; a line end inside it is theirs to keep out.
    std::string text;
    for (const char c : input.substr(1, textLength)) {
        if (c != '\r' && c != '\n') {
            text += c;
        }
    }
    const std::string_view file = input.substr(1 + textLength);

    for (int count = -1; count <= kLineCount + 1; ++count) {
        const auto lines = firstLines(file, count);
        TESSEL_CHECK(lines.has_value() || count > 0);
        if (lines) {
            TESSEL_CHECK(lines->size() == static_cast<std::size_t>(std::max(count, 0)));
            for (const auto& line : *lines) {
                TESSEL_CHECK(line.find('\n') == std::string::npos);
            }
        }
    }
    const auto lines = firstLines(file, kLineCount);
    if (lines) {
        const KeepSetting keep = parseKeep((*lines)[kKeepLine]);
        TESSEL_CHECK(keep == KeepSetting::Keep || keep == KeepSetting::Replace ||
                     keep == KeepSetting::NotSet);
    }
    (void)parseKeep(file);

    for (int line = 0; line < kLineCount; ++line) {
        checkRewrite(file, line, text);
    }
    for (const bool keep : {true, false}) {
        checkRewrite(file, kKeepLine, keepLine(keep));
        const auto rewritten = rewriteLine(file, kKeepLine, keepLine(keep));
        if (rewritten) {
            const auto keepLines = firstLines(*rewritten, kLineCount);
            TESSEL_CHECK(keepLines.has_value());
            TESSEL_CHECK(parseKeep((*keepLines)[kKeepLine]) ==
                         (keep ? KeepSetting::Keep : KeepSetting::Replace));
        }
    }
    return 0;
}
