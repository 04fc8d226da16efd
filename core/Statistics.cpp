#include "core/Statistics.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "core/BlockLists.h"

// stats.dat, ASCII, every line ended by LF (no CR anywhere):
//
//     Tessel statistics 1
//     hour<TAB>HOUR<TAB>COUNT
//     server<TAB>COUNT<TAB>LASTSEEN<TAB>NAME
//
// The first line is exactly the version. Then any number of hour and server lines, written hours
// in increasing order and servers most counted first (equal counts by name), though read in any
// order. HOUR is whole hours since 1970-01-01 00:00 UTC, LASTSEEN Unix seconds; every number is
// decimal, without sign or leading zeros, and fits 64 bits (signed for HOUR and LASTSEEN). A count
// is never 0: a row that counts nothing is never written, so one found is damage. NAME is a name a
// resolver can look up (lower case) or exactly "(no name)" or "(others)". Each hour and each name
// appears once. A text breaking any of these is damaged and read as nothing; one that merely holds
// more servers or older hours than are kept is read whole, and trimmed by whoever reads it.

namespace tessel::core {
namespace {

constexpr std::string_view kHeader = "Tessel statistics 1\n";
constexpr std::uint64_t kMostCount = std::numeric_limits<std::uint64_t>::max();

std::uint64_t saturatedSum(std::uint64_t a, std::uint64_t b) {
    return a > kMostCount - b ? kMostCount : a + b;
}

// The lists' rule allows a final dot, which a name read from a request never keeps.
bool isRowName(std::string_view name) {
    return name == kNoName || name == kOthers || (isName(name) && !name.ends_with('.'));
}

// Most counted first, equal counts by name: the order of servers() and of the file.
bool before(const ServerCount& a, const ServerCount& b) {
    return a.count != b.count ? a.count > b.count : a.name < b.name;
}

template <typename Number>
std::optional<Number> number(std::string_view field) {
    // Only one way to write each number: no sign, no leading zero.
    if (field.empty() || field.front() == '-' || (field.front() == '0' && field.size() > 1)) {
        return std::nullopt;
    }
    Number value{};
    const char* end = field.data() + field.size();
    const auto [next, error] = std::from_chars(field.data(), end, value);
    if (error != std::errc() || next != end) {
        return std::nullopt;
    }
    return value;
}

// The TAB-parted fields of a line, or fewer than `wanted` when it has any other number of them.
std::vector<std::string_view> fields(std::string_view line, std::size_t wanted) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (parts.size() <= wanted) {
        const std::size_t tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos) {
            break;
        }
        start = tab + 1;
    }
    if (parts.size() != wanted) {
        parts.clear();
    }
    return parts;
}

template <typename... Parts>
void appendLine(std::string& text, const Parts&... parts) {
    std::string_view separator;
    ((text.append(separator).append(parts), separator = "\t"), ...);
    text.push_back('\n');
}

}  // namespace

void Statistics::add(std::string_view name, std::uint64_t count, std::int64_t when) {
    if (count == 0) {
        return;
    }
    // A clock before 1970 counts as 1970: the file has no sign for earlier times.
    when = std::max<std::int64_t>(when, 0);
    // A name the file could not hold (never one read from a request) counts as none.
    const std::string_view row = name.empty() || !isRowName(name) ? kNoName : name;
    auto found = servers_.find(row);
    if (found == servers_.end()) {
        found = servers_.emplace(std::string(row), Seen{}).first;
    }
    found->second.count = saturatedSum(found->second.count, count);
    found->second.lastSeen = std::max(found->second.lastSeen, when);
    auto& hour = hours_[hourOf(when)];
    hour = saturatedSum(hour, count);
}

void Statistics::trim(std::int64_t now) {
    const Hour oldest = hourOf(now) - kHoursKept + 1;
    std::erase_if(hours_, [oldest](const auto& entry) { return entry.first < oldest; });
    const bool othersRow = servers_.contains(kOthers);
    if (servers_.size() <= kMostServers) {
        return;
    }
    // Folding makes "(others)" a row when it is not one yet.
    const std::size_t fold = servers_.size() - kMostServers + (othersRow ? 0 : 1);
    std::vector<ServerCount> named;
    named.reserve(servers_.size());
    for (const auto& [name, seen] : servers_) {
        if (name != kNoName && name != kOthers) {
            named.push_back({name, seen.count, seen.lastSeen});
        }
    }
    // The least counted, and of equal counts the later names, go first.
    std::nth_element(named.begin(), named.end() - static_cast<std::ptrdiff_t>(fold), named.end(),
                     before);
    Seen& others = servers_[std::string(kOthers)];
    for (auto it = named.end() - static_cast<std::ptrdiff_t>(fold); it != named.end(); ++it) {
        others.count = saturatedSum(others.count, it->count);
        others.lastSeen = std::max(others.lastSeen, it->lastSeen);
        servers_.erase(it->name);
    }
}

void Statistics::clear() {
    servers_.clear();
    hours_.clear();
}

std::uint64_t Statistics::total() const {
    std::uint64_t sum = 0;
    for (const auto& entry : servers_) {
        sum = saturatedSum(sum, entry.second.count);
    }
    return sum;
}

std::vector<std::uint64_t> Statistics::hourly(Hour first, std::size_t count) const {
    std::vector<std::uint64_t> totals(count, 0);
    for (const auto& [hour, sum] : hours_) {
        // Unsigned, as the hours of a file may lie further apart than a signed difference holds.
        const auto offset = static_cast<std::uint64_t>(hour) - static_cast<std::uint64_t>(first);
        if (hour >= first && offset < count) {
            totals[static_cast<std::size_t>(offset)] = sum;
        }
    }
    return totals;
}

std::vector<ServerCount> Statistics::servers() const {
    std::vector<ServerCount> rows;
    rows.reserve(servers_.size());
    for (const auto& [name, seen] : servers_) {
        rows.push_back({name, seen.count, seen.lastSeen});
    }
    std::sort(rows.begin(), rows.end(), before);
    return rows;
}

std::optional<ServerCount> Statistics::server(std::string_view name) const {
    const auto found = servers_.find(name);
    if (found == servers_.end()) {
        return std::nullopt;
    }
    return ServerCount{found->first, found->second.count, found->second.lastSeen};
}

std::string Statistics::format() const {
    std::vector<std::pair<Hour, std::uint64_t>> hours(hours_.begin(), hours_.end());
    std::sort(hours.begin(), hours.end());
    std::string text(kHeader);
    for (const auto& [hour, count] : hours) {
        appendLine(text, "hour", std::to_string(hour), std::to_string(count));
    }
    for (const ServerCount& row : servers()) {
        appendLine(text, "server", std::to_string(row.count), std::to_string(row.lastSeen),
                   row.name);
    }
    return text;
}

std::optional<Statistics> Statistics::parse(std::string_view text) {
    if (!text.starts_with(kHeader)) {
        return std::nullopt;
    }
    // No field may hold a CR, so a CR LF line end is damage like any other stray byte.
    Statistics read;
    for (std::string_view rest = text.substr(kHeader.size()); !rest.empty();) {
        const std::size_t lf = rest.find('\n');
        if (lf == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view line = rest.substr(0, lf);
        if (!(line.starts_with("hour\t") ? read.parseHour(line) : read.parseServer(line))) {
            return std::nullopt;
        }
        rest.remove_prefix(lf + 1);
    }
    return read;
}

bool Statistics::parseHour(std::string_view line) {
    const auto parts = fields(line, 3);
    if (parts.empty()) {
        return false;
    }
    const auto hour = number<Hour>(parts[1]);
    const auto count = number<std::uint64_t>(parts[2]);
    return hour && count && *count != 0 && hours_.emplace(*hour, *count).second;
}

bool Statistics::parseServer(std::string_view line) {
    const auto parts = fields(line, 4);
    if (parts.empty() || parts[0] != "server") {
        return false;
    }
    const auto count = number<std::uint64_t>(parts[1]);
    const auto lastSeen = number<std::int64_t>(parts[2]);
    return count && *count != 0 && lastSeen && isRowName(parts[3]) &&
           servers_.emplace(std::string(parts[3]), Seen{*count, *lastSeen}).second;
}

std::string Statistics::countLines() const {
    std::string text;
    for (const ServerCount& row : servers()) {
        appendLine(text, std::to_string(row.count), row.name);
    }
    return text;
}

}  // namespace tessel::core
