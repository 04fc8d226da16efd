#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The five-line preferences file: picture path, HOSTS path, two port lines that are only carried
// along, and "keepHostsFile: " followed by True, False or NotSet. Pure functions over bytes.
namespace tessel::core {

inline constexpr int kLineCount = 5;
inline constexpr int kPictureLine = 0;
inline constexpr int kHostsLine = 1;
inline constexpr int kKeepLine = 4;
inline constexpr std::string_view kKeepKey = "keepHostsFile: ";
inline constexpr const char* kPastEndOfFile = "Input past end of file";

enum class KeepSetting { Keep, Replace, NotSet };

// The first `count` lines, or nothing when the file has fewer.
std::optional<std::vector<std::string>> firstLines(std::string_view bytes, int count);

// The value of line 5 is whatever follows its first 15 characters, compared exactly.
KeepSetting parseKeep(std::string_view line5);
std::string keepLine(bool keep);

std::string defaultPrefs(const std::string& programDirectory);

// The file with one line replaced and the others copied, five lines ending in CR LF; lines past the
// fifth are dropped. Needs all five lines, or the first four when the fifth is the one replaced.
std::optional<std::string> rewriteLine(std::string_view bytes, int line, std::string_view text);

}  // namespace tessel::core
