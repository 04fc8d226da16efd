#include "core/BlockLists.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <functional>

#include "core/Lines.h"

namespace tessel::core {
namespace {

constexpr std::string_view kSpace = " \t";

// Names every HOSTS file carries for the machine itself; lists copy them from such a file.
constexpr std::array<std::string_view, 11> kMachineNames = {
    "localhost",     "localhost.localdomain", "local",        "broadcasthost",
    "ip6-localhost", "ip6-loopback",          "ip6-localnet", "ip6-mcastprefix",
    "ip6-allnodes",  "ip6-allrouters",        "ip6-allhosts"};

std::string_view trimmed(std::string_view line) {
    const std::size_t start = line.find_first_not_of(kSpace);
    if (start == std::string_view::npos) {
        return {};
    }
    return line.substr(start, line.find_last_not_of(kSpace) - start + 1);
}

std::string lowered(std::string_view text) {
    std::string lower(text);
    lowerInPlace(lower);
    return lower;
}

bool isAddress(std::string_view field) {
    return field.find(':') != std::string_view::npos ||
           (std::count(field.begin(), field.end(), '.') == 3 &&
            field.find_first_not_of("0123456789.") == std::string_view::npos);
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
}

// Rules for pages rather than servers: element hiding, exceptions, paths, options, wildcards.
bool isOtherAdblockRule(std::string_view line) {
    return line.starts_with("@@") || line.find_first_of("/$^*|") != std::string_view::npos;
}

class ListReader final {
public:
    explicit ListReader(ParsedList& out) : out_(out) {}

    // False once the list holds too many names.
    bool read(std::string_view line) {
        line = trimmed(line);
        if (line.empty() || line.front() == '#' || line.front() == '!' || line.front() == '[' ||
            line.find("#@#") != std::string_view::npos ||
            line.find("##") != std::string_view::npos ||
            line.find("#?#") != std::string_view::npos) {
            return true;
        }
        if (line.starts_with("||") && line.ends_with('^') &&
            offer(line.substr(2, line.size() - 3))) {
            return fits();
        }
        line = trimmed(line.substr(0, line.find('#')));
        if (isOtherAdblockRule(line)) {
            return true;
        }
        readFields(line);
        return fits();
    }

private:
    // An address and names, or a name alone.
    void readFields(std::string_view line) {
        const std::size_t firstEnd = std::min(line.find_first_of(kSpace), line.size());
        std::string_view rest = trimmed(line.substr(firstEnd));
        if (!isAddress(line.substr(0, firstEnd))) {
            out_.badLines += rest.empty() && offer(line.substr(0, firstEnd)) ? 0 : 1;
            return;
        }
        bool bad = false;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find_first_of(kSpace), rest.size());
            bad = !offer(rest.substr(0, end)) || bad;
            rest = trimmed(rest.substr(end));
        }
        out_.badLines += bad ? 1 : 0;
    }

    // Takes a name, skipping addresses and the machine's own names; false when it is no name.
    bool offer(std::string_view field) {
        name_.assign(field);
        lowerInPlace(name_);
        if (!name_.empty() && name_.back() == '.') {
            name_.pop_back();
        }
        if (isAddress(name_) ||
            std::find(kMachineNames.begin(), kMachineNames.end(), name_) != kMachineNames.end()) {
            return true;
        }
        if (!isName(name_)) {
            return false;
        }
        out_.names.append(name_).push_back('\n');
        ++out_.count;
        return true;
    }

    bool fits() const { return out_.count <= kMostNames; }

    ParsedList& out_;
    std::string name_;  // the name being read, in lower case
};

bool sameName(std::string_view field, std::string_view name) {
    return field.size() == name.size() &&
           std::equal(field.begin(), field.end(), name.begin(),
                      [](char a, char b) { return lowerAscii(a) == b; });
}

// A set of names that refers to bytes kept elsewhere: open addressing, so that a million names
// cost one table rather than a million nodes.
class NameSet final {
public:
    explicit NameSet(std::size_t expected)
        : slots_(std::bit_ceil(std::max<std::size_t>(expected * 2, 16))) {}

    // True when the name was not in the set yet.
    bool insert(std::string_view name) {
        std::string_view& slot = slotOf(name);
        const bool added = slot.data() == nullptr;
        slot = name;
        return added;
    }
    bool contains(std::string_view name) { return slotOf(name).data() != nullptr; }

private:
    // The slot that holds the name, or the empty one where it would go.
    std::string_view& slotOf(std::string_view name) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = std::hash<std::string_view>{}(name)&mask;
        while (slots_[at].data() != nullptr && slots_[at] != name) {
            at = (at + 1) & mask;
        }
        return slots_[at];
    }

    std::vector<std::string_view> slots_;
};

}  // namespace

bool isName(std::string_view name) {
    if (name.empty() || name.size() > kLongestName || name.front() == '.' ||
        !std::all_of(name.begin(), name.end(), isNameCharacter) ||
        name.find("..") != std::string_view::npos) {
        return false;
    }
    std::size_t label = 0;
    for (const char c : name) {
        label = c == '.' ? 0 : label + 1;
        if (label > 63) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> parseUrls(std::string_view listsFile) {
    std::vector<std::string> urls;
    forEachLine(listsFile, [&urls](std::string_view line) {
        line = trimmed(line);
        line = line.substr(0, line.find_first_of(kSpace));
        const std::string scheme = lowered(line.substr(0, line.find("://") + 3));
        if (scheme == "http://" || scheme == "https://" || scheme == "file://") {
            urls.emplace_back(line);
        }
        return true;
    });
    return urls;
}

std::string formatUrls(const std::vector<std::string>& urls) {
    std::string text;
    for (const auto& url : urls) {
        text.append(url).append(kCrLf);
    }
    return text;
}

ParsedList parseList(std::string_view bytes) {
    ParsedList parsed;
    if (bytes.size() > kMostBytes) {
        parsed.refusal = Refusal::TooBig;
        return parsed;
    }
    parsed.names.reserve(bytes.size() + 1);  // a list's names never take more room than its text
    ListReader reader(parsed);
    forEachLine(bytes, [&reader](std::string_view line) { return reader.read(line); });
    if (parsed.count > kMostNames) {
        parsed = {{}, 0, parsed.badLines, Refusal::TooManyNames};
    }
    parsed.names.shrink_to_fit();
    return parsed;
}

AllowList::AllowList(std::string_view allowedFile) {
    forEachLine(allowedFile, [this](std::string_view line) {
        const std::string entry = lowered(trimmed(line));
        if (entry.starts_with("*.")) {
            domains_.insert(entry.substr(2));
        } else if (!entry.empty()) {
            names_.insert(entry);
        }
        return true;
    });
}

bool AllowList::allows(std::string_view name) const {
    if (!names_.empty() && names_.find(name) != names_.end()) {
        return true;
    }
    for (std::size_t at = 0; at != std::string_view::npos && !domains_.empty();) {
        if (domains_.find(name.substr(at)) != domains_.end()) {
            return true;
        }
        at = name.find('.', at);
        at = at == std::string_view::npos ? at : at + 1;
    }
    return false;
}

std::string combine(const std::vector<std::string_view>& names) {
    std::size_t bytes = 0;
    std::size_t expected = 0;
    for (const std::string_view list : names) {
        bytes += list.size();
        expected += static_cast<std::size_t>(std::count(list.begin(), list.end(), '\n'));
    }
    NameSet seen(expected);
    std::string combined;
    combined.reserve(bytes);
    for (const std::string_view list : names) {
        forEachLine(list, [&](std::string_view name) {
            if (!name.empty() && seen.insert(name)) {
                combined.append(name).push_back('\n');
            }
            return true;
        });
    }
    return combined;
}

Merged merge(std::string_view badHosts, std::string_view subscribed, const AllowList& allow) {
    // The set refers to these bytes: badHosts.dat's lines in lower case.
    const std::string badKeys = lowered(badHosts);
    NameSet listed(static_cast<std::size_t>(std::count(badHosts.begin(), badHosts.end(), '\n')));
    Merged merged;
    forEachLine(badKeys, [&](std::string_view key) {
        if (key.empty()) {
            return true;
        }
        listed.insert(key);
        if (allow.empty() || !allow.allows(key)) {
            const std::size_t at = static_cast<std::size_t>(key.data() - badKeys.data());
            merged.list.append(badHosts.substr(at, key.size())).append(kCrLf);
        }
        return true;
    });
    merged.names.reserve(subscribed.size());
    forEachLine(subscribed, [&](std::string_view name) {
        if (!listed.contains(name) && (allow.empty() || !allow.allows(name))) {
            merged.names.append(name).push_back('\n');
            ++merged.count;
        }
        return true;
    });
    return merged;
}

bool resolverFinds(std::string_view hostsText, std::string_view name) {
    bool found = false;
    forEachLine(hostsText, [&](std::string_view line) {
        line = line.substr(0, line.find('#'));
        std::size_t pos = line.find_first_of(kSpace);  // past the address
        while (pos != std::string_view::npos && !found) {
            pos = line.find_first_not_of(kSpace, pos);
            if (pos == std::string_view::npos) {
                break;
            }
            const std::size_t end = std::min(line.find_first_of(kSpace, pos), line.size());
            found = sameName(line.substr(pos, end - pos), name);
            pos = end;
        }
        return !found;
    });
    return found;
}

}  // namespace tessel::core
