#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/BlockLists.h"

// The counted servers beside the lists that block them, and their export as CSV. Pure, over bytes.
namespace tessel::core {

// Where a name is listed: 0 for the server list (badHosts.dat), i + 1 for subscribed list i.
inline constexpr std::size_t kServerListIndex = 0;
inline constexpr std::size_t kUnlisted = std::numeric_limits<std::size_t>::max();

// For each of `names` (lower case), the first list that holds it and so blocks it, or kUnlisted:
// badHosts.dat's lines compared without letter case, as the merge compares them, then each
// subscribed list's names (a ParsedList's `names`). A name `allow` exempts is blocked by none.
// Each list is read once, and no further once every name is placed.
std::vector<std::size_t> listsOfNames(const std::vector<std::string_view>& names,
                                      std::string_view badHosts,
                                      const std::vector<std::string_view>& subscribed,
                                      const AllowList& allow);

struct CsvRow final {
    std::string_view server;
    std::uint64_t count = 0;
    std::int64_t lastSeen = 0;  // Unix seconds; 0 for never
    std::string_view list;
};
// `server,count,last seen,list` and a line per row, CR LF ended, fields quoted as RFC 4180 wants
// and times in ISO 8601 UTC.
std::string serversCsv(const std::vector<CsvRow>& rows);

}  // namespace tessel::core
