#include "hosts/HostsText.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "prefs/Lines.h"

namespace tessel::hosts {
namespace {

constexpr std::string_view kReplaceHeader =
    "#\r\n"
    "# Hosts file created by Tessel\r\n"
    "#\r\n"
    "\r\n"
    "# localhost: Needs to stay like this to work\r\n"
    "127.0.0.1   localhost\r\n"
    "\r\n"
    "# Other servers: These servers are directed towards\r\n"
    "# Tessel to be filtered. You must alter these from\r\n"
    "# within the Tessel program.\r\n"
    "\r\n";

constexpr std::string_view kBlockStart = "\r\n\r\n#Following lines created by Tessel:\r\n";

char* put(char* cursor, std::string_view bytes) {
    std::memcpy(cursor, bytes.data(), bytes.size());
    return cursor + bytes.size();
}

// The heads, then one entry line per non-empty list line. A million names make tens of megabytes:
// the text is measured first and written once into a buffer of exactly its size.
std::string withEntries(std::initializer_list<std::string_view> heads, std::string_view list) {
    std::size_t size = 0;
    for (const std::string_view head : heads) {
        size += head.size();
    }
    text::forEachLine(list, [&size](std::string_view line) {
        size += line.empty() ? 0 : kEntryPrefix.size() + line.size() + text::kCrLf.size();
        return true;
    });
    std::string out(size, '\0');
    char* cursor = out.data();
    for (const std::string_view head : heads) {
        cursor = put(cursor, head);
    }
    text::forEachLine(list, [&cursor](std::string_view line) {
        if (!line.empty()) {
            cursor = put(put(put(cursor, kEntryPrefix), line), text::kCrLf);
        }
        return true;
    });
    return out;
}

// The end of the entry lines that start at `pos`: each is the prefix, a name, and CR LF.
std::size_t skipEntries(std::string_view text, std::size_t pos) {
    while (text.substr(pos).starts_with(kEntryPrefix)) {
        const std::size_t lf = text.find('\n', pos + kEntryPrefix.size());
        if (lf == std::string_view::npos || text[lf - 1] != '\r') {
            break;  // not a line the writer made
        }
        pos = lf + 1;
    }
    return pos;
}

}  // namespace

std::string replaceModeText(std::string_view list) {
    return withEntries({kReplaceHeader}, list);
}

std::string keepModeBlock(std::string_view list) {
    return withEntries({kBlockStart}, list);
}

std::string keepModeText(std::string_view hostsFile, std::string_view list) {
    return withEntries({hostsFile, kBlockStart}, list);
}

bool isReplaceModeFile(std::string_view hostsFile) {
    int index = 0;
    bool matches = true;
    text::forEachLine(hostsFile, [&](std::string_view line) {
        matches = index == 0 ? line == "#" : line == "# Hosts file created by Tessel";
        return matches && ++index < 2;
    });
    return matches && index == 2;
}

std::string filterLines(std::string_view hostsFile) {
    std::string kept;
    text::forEachLine(hostsFile, [&kept](std::string_view line) {
        const bool dropped = (line.find("127.0.0.1") != std::string_view::npos &&
                              line.find("localhost") == std::string_view::npos) ||
                             line.find("Tessel") != std::string_view::npos || line.size() <= 2;
        if (!dropped) {
            kept.append(text::kCrLf);
            kept.append(line);
        }
        return true;
    });
    kept.append(text::kCrLf);
    return kept;
}

std::optional<std::string> restoreKeepMode(std::string_view hostsFile) {
    if (isReplaceModeFile(hostsFile)) {
        return filterLines(hostsFile);
    }
    std::size_t block = hostsFile.find(kBlockStart);
    if (block == std::string_view::npos) {
        return std::nullopt;
    }
    std::string kept;
    kept.reserve(block);
    std::size_t pos = 0;
    while (block != std::string_view::npos) {
        kept.append(hostsFile.substr(pos, block - pos));
        pos = skipEntries(hostsFile, block + kBlockStart.size());
        block = hostsFile.find(kBlockStart, pos);
    }
    kept.append(hostsFile.substr(pos));
    return kept;
}

}  // namespace tessel::hosts
