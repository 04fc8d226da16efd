#include "core/HostsText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <set>
#include <vector>

#include "core/EntryLines.h"
#include "core/Lines.h"

namespace tessel::core {
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

// Only ever follows the header; "Tessel" in it lets the old line filter drop it like the header.
constexpr std::string_view kMachineHeading =
    "# This machine's own names, kept by Tessel from the file it replaced:\r\n";

// The end of the entry lines that start at `pos`: each is the prefix, one name or several parted
// by spaces, and CR LF.
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

// Where the body of a replace-mode file begins, or npos when the file does not open with the
// whole header (its lines may end in LF alone: an editor may have converted them).
std::size_t headerEnd(std::string_view file) {
    std::size_t pos = 0;
    bool whole = true;
    forEachLine(kReplaceHeader, [&](std::string_view expected) {
        const std::size_t lf = file.find('\n', pos);
        std::string_view line = file.substr(pos, lf == std::string_view::npos ? lf : lf - pos);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        whole = lf != std::string_view::npos && line == expected;
        pos = lf + 1;
        return whole;
    });
    return whole ? pos : std::string_view::npos;
}

std::string lowered(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// The address and the names of a HOSTS line, without its comment.
std::vector<std::string_view> fieldsOf(std::string_view line) {
    line = line.substr(0, line.find('#'));
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while ((pos = line.find_first_not_of(" \t\r", pos)) != std::string_view::npos) {
        const std::size_t end = std::min(line.find_first_of(" \t\r", pos), line.size());
        fields.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}

bool namesMachine(const std::string& name, std::string_view hostName) {
    if (name.find("localhost") != std::string::npos || name == "ip6-loopback") {
        return true;
    }
    const std::string host = lowered(hostName);
    const std::string shortName = host.substr(0, host.find('.'));
    return !shortName.empty() &&
           (name == host || name == shortName || name.starts_with(shortName + "."));
}

// Which of `names` (lower case) the list holds, letter case ignored. The list has a million lines
// and the names a handful: a line is lowered and looked up only when its length and first letter
// could make it one of them.
std::set<std::string> listedAmong(const std::set<std::string>& names, std::string_view list) {
    std::set<std::string> listed;
    std::vector<bool> lengths;
    std::array<bool, 256> firsts{};
    for (const auto& name : names) {
        lengths.resize(std::max(lengths.size(), name.size() + 1));
        lengths[name.size()] = true;
        firsts[static_cast<unsigned char>(name.front())] = true;
    }
    std::string lower;
    forEachLine(list, [&](std::string_view line) {
        if (line.size() < lengths.size() && lengths[line.size()] &&
            firsts[static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(line[0])))]) {
            lower.assign(line);
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (names.count(lower) != 0) {
                listed.insert(lower);
            }
        }
        return true;
    });
    return listed;
}

bool isIpv4(std::string_view address) {
    int parts = 0;
    for (std::size_t pos = 0;;) {
        const std::size_t dot = address.find('.', pos);
        const std::string_view part =
            address.substr(pos, dot == std::string_view::npos ? dot : dot - pos);
        const bool digits =
            std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (part.empty() || part.size() > 3 || !digits || std::stoi(std::string(part)) > 255) {
            return false;
        }
        ++parts;
        if (dot == std::string_view::npos) {
            return parts == 4;
        }
        pos = dot + 1;
    }
}

// Hex groups and colons, perhaps an IPv4 tail and a zone: loose, but no name or word passes.
bool isIpv6(std::string_view address) {
    address = address.substr(0, address.find('%'));
    const std::size_t lastColon = address.rfind(':');
    if (lastColon == std::string_view::npos || address.find(':') == lastColon) {
        return false;
    }
    const std::string_view tail = address.substr(lastColon + 1);
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    const std::string_view head = address.substr(0, lastColon);
    return std::all_of(head.begin(), head.end(), [&](char c) { return hex(c) || c == ':'; }) &&
           (std::all_of(tail.begin(), tail.end(), hex) ? tail.size() <= 4 : isIpv4(tail));
}

}  // namespace

bool isHostsText(std::string_view bytes) {
    bool hosts = true;
    forEachLine(bytes, [&hosts](std::string_view line) {
        const auto fields = fieldsOf(line);
        hosts = fields.empty() || (fields.size() > 1 && (isIpv4(fields[0]) || isIpv6(fields[0])));
        return hosts;
    });
    return hosts;
}

Pieces replaceModePieces(std::string_view list, std::string_view machine, std::string_view names) {
    if (machine.empty()) {
        return withEntries({kReplaceHeader}, list, names);
    }
    return withEntries({kReplaceHeader, kMachineHeading, machine, kCrLf}, list, names);
}

std::string replaceModeText(std::string_view list, std::string_view machine,
                            std::string_view names) {
    return replaceModePieces(list, machine, names).whole();
}

std::string machineLines(std::string_view original, std::string_view hostName,
                         std::string_view list) {
    std::vector<std::pair<std::string_view, std::vector<std::string_view>>> lines;
    std::set<std::string> names;
    forEachLine(original, [&](std::string_view line) {
        auto fields = fieldsOf(line);
        const bool own = fields.size() > 1 &&
                         std::any_of(fields.begin() + 1, fields.end(), [&](std::string_view name) {
                             return namesMachine(lowered(name), hostName);
                         });
        if (own) {
            for (auto it = fields.begin() + 1; it != fields.end(); ++it) {
                names.insert(lowered(*it));
            }
            lines.emplace_back(line, std::move(fields));
        }
        return true;
    });
    const std::set<std::string> listed = listedAmong(names, list);
    std::string kept;
    for (const auto& [line, fields] : lines) {
        std::string rebuilt(fields.front());
        bool dropped = false;
        for (auto it = fields.begin() + 1; it != fields.end(); ++it) {
            if (listed.count(lowered(*it)) != 0) {
                dropped = true;
            } else {
                rebuilt.append(1, ' ').append(*it);
            }
        }
        if (rebuilt.size() == fields.front().size()) {
            continue;  // every name on it is a listed server
        }
        kept.append(dropped ? std::string_view(rebuilt) : line).append(kCrLf);
    }
    return kept;
}

std::string carriedMachineLines(std::string_view replaceModeFile) {
    const std::size_t body = headerEnd(replaceModeFile);
    std::string kept;
    if (body == std::string_view::npos) {
        return kept;
    }
    bool inSection = false;
    forEachLine(replaceModeFile.substr(body), [&](std::string_view line) {
        if (!inSection) {
            inSection = std::string(line) + "\r\n" == kMachineHeading;
            return inSection;
        }
        if (line.empty()) {
            return false;
        }
        kept.append(line).append(kCrLf);
        return true;
    });
    return kept;
}

std::string keepModeBlock(std::string_view list, std::string_view names) {
    return withEntries({kBlockStart}, list, names).whole();
}

Pieces keepModePieces(std::string_view hostsFile, std::string_view list, std::string_view names) {
    return withEntries({hostsFile, kBlockStart}, list, names);
}

bool isReplaceModeFile(std::string_view hostsFile) {
    return headerEnd(hostsFile) != std::string_view::npos;
}

std::string filterLines(std::string_view hostsFile) {
    std::string kept;
    forEachLine(hostsFile, [&kept](std::string_view line) {
        const bool dropped = (line.find("127.0.0.1") != std::string_view::npos &&
                              line.find("localhost") == std::string_view::npos) ||
                             line.find("Tessel") != std::string_view::npos || line.size() <= 2;
        if (!dropped) {
            kept.append(kCrLf);
            kept.append(line);
        }
        return true;
    });
    kept.append(kCrLf);
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

}  // namespace tessel::core
