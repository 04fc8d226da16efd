#include "core/PrefsFormat.h"

#include "core/Lines.h"
#include "core/ProgramPaths.h"

namespace tessel::core {

std::optional<std::vector<std::string>> firstLines(std::string_view bytes, int count) {
    // The line walk always hands over a first line, and reserve() would throw on a negative count.
    if (count <= 0) {
        return std::vector<std::string>{};
    }
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(count));
    forEachLine(bytes, [&](std::string_view line) {
        lines.emplace_back(line);
        return static_cast<int>(lines.size()) < count;
    });
    if (static_cast<int>(lines.size()) < count) {
        return std::nullopt;
    }
    return lines;
}

KeepSetting parseKeep(std::string_view line5) {
    const std::string_view value =
        line5.size() > kKeepKey.size() ? line5.substr(kKeepKey.size()) : std::string_view{};
    if (value == "True") {
        return KeepSetting::Keep;
    }
    if (value == "False") {
        return KeepSetting::Replace;
    }
    return KeepSetting::NotSet;
}

std::string keepLine(bool keep) {
    return std::string(kKeepKey) + (keep ? "True" : "False");
}

std::string defaultPrefs(const std::string& programDirectory) {
    return ProgramPaths{programDirectory}.defaultPicture() + "\r\n" + kSystemHostsPath +
           "\r\n80\r\n80\r\n" + std::string(kKeepKey) + "NotSet\r\n";
}

std::optional<std::string> rewriteLine(std::string_view bytes, int line, std::string_view text) {
    if (line < 0 || line >= kLineCount) {
        return std::nullopt;
    }
    const int needed = line == kKeepLine ? kLineCount - 1 : kLineCount;
    auto lines = firstLines(bytes, needed);
    if (!lines) {
        return std::nullopt;
    }
    lines->resize(kLineCount);
    (*lines)[static_cast<std::size_t>(line)] = std::string(text);
    std::string result;
    for (const auto& each : *lines) {
        result += each;
        result += "\r\n";
    }
    return result;
}

}  // namespace tessel::core
