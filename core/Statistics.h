#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/Names.h"

// Which servers were blocked, how often and when: counts by name and by hour, and stats.dat, the
// text they are kept in. Pure, over bytes and numbers; times are Unix seconds, hours are whole
// hours since the epoch (UTC).
namespace tessel::core {

// The rows that are not a server's name: requests that named none, and the least counted names
// folded together once there are too many.
inline constexpr std::string_view kNoName = "(no name)";
inline constexpr std::string_view kOthers = "(others)";
inline constexpr std::size_t kMostServers = 10'000;
inline constexpr std::int64_t kHoursKept = 90 * 24;
// A kept stats.dat is a few megabytes at most; a larger file is none of ours and is not read.
inline constexpr std::size_t kMostStatsBytes = std::size_t{64} << 20;

using Hour = std::int64_t;
inline constexpr Hour hourOf(std::int64_t unixSeconds) {
    return unixSeconds >= 0 ? unixSeconds / 3600 : (unixSeconds - 3599) / 3600;
}

struct ServerCount final {
    std::string name;
    std::uint64_t count = 0;
    std::int64_t lastSeen = 0;  // Unix seconds
};

class Statistics final {
public:
    // `count` connections to `name` (empty: none named) at `when`.
    void add(std::string_view name, std::uint64_t count, std::int64_t when);
    // The least counted names past kMostServers folded into "(others)", and the hours older than
    // kHoursKept before `now` dropped.
    void trim(std::int64_t now);
    void clear();
    bool empty() const { return servers_.empty() && hours_.empty(); }

    // Every connection ever counted (the hours only reach back kHoursKept).
    std::uint64_t total() const;
    // `count` hours' totals, from hour `first` on, oldest first.
    std::vector<std::uint64_t> hourly(Hour first, std::size_t count) const;
    std::size_t serverCount() const { return servers_.size(); }
    // Most counted first; equal counts by name.
    std::vector<ServerCount> servers() const;
    // One server's row, when it has one.
    std::optional<ServerCount> server(std::string_view name) const;

    // stats.dat's text, and its reading: nothing when the text is damaged.
    std::string format() const;
    static std::optional<Statistics> parse(std::string_view text);
    // `COUNT<TAB>NAME` lines, most first.
    std::string countLines() const;

private:
    struct Seen final {
        std::uint64_t count = 0;
        std::int64_t lastSeen = 0;
    };
    // One line of stats.dat into these statistics: false when it is damaged or says again what
    // an earlier line said.
    bool parseHour(std::string_view line);
    bool parseServer(std::string_view line);

    std::unordered_map<std::string, Seen, NameHash, std::equal_to<>> servers_;
    std::unordered_map<Hour, std::uint64_t> hours_;
};

}  // namespace tessel::core
