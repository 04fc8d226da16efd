#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ServerLists.h"

namespace tessel::core {
namespace {

// The server list comes first and is read without letter case, as the merge reads it; an allowed
// name is blocked by no list, wherever it stands.
TEST(ServerLists, EachNameGoesToTheFirstListThatHoldsIt) {
    const struct {
        std::string_view name;
        std::size_t list;
    } rows[] = {{"ads.example", kServerListIndex},
                {"both.example", kServerListIndex},
                {"sub.example", 1},
                {"late.example", 2},
                {"allowed.example", kUnlisted},
                {"none.example", kUnlisted}};
    std::vector<std::string_view> names;
    for (const auto& row : rows) {
        names.push_back(row.name);
    }
    const auto lists =
        listsOfNames(names, "ADS.Example\r\nboth.example\r\nallowed.example\r\n",
                     {"x.example\nsub.example\n", "both.example\nlate.example\nsub.example\n"},
                     AllowList("allowed.example\r\n"));
    for (std::size_t at = 0; at < names.size(); ++at) {
        EXPECT_EQ(lists[at], rows[at].list) << rows[at].name;
    }
}

TEST(ServerLists, CsvQuotesWhatNeedsItAndGivesUtcTimes) {
    const struct {
        CsvRow row;
        std::string line;
    } rows[] = {
        {{"ads.example", 12, 1'700'000'000, "Server list"},
         "ads.example,12,2023-11-14T22:13:20Z,Server list\r\n"},
        {{"(no name)", 3, 0, "https://l.example/a,b?\"q\""},
         "(no name),3,,\"https://l.example/a,b?\"\"q\"\"\"\r\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(serversCsv({row.row}), "server,count,last seen,list\r\n" + row.line);
    }
}

}  // namespace
}  // namespace tessel::core
