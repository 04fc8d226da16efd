#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/BlockLists.h"
#include "core/HostsText.h"

using namespace tessel;

namespace {

TEST(BlockLists, ReadsEachFormatAndCountsBadLines) {
    struct Row {
        const char* format;
        std::string text;
        std::string names;
        std::size_t bad;
    };
    const std::vector<Row> rows = {
        {"hosts", "# c\r\n0.0.0.0 a.example b.example # c.example\r\n127.0.0.1\tC.Example.\r\n",
         "a.example\nb.example\nc.example\n", 0},
        {"hosts machine names and bare addresses",
         "127.0.0.1 localhost\n::1 ip6-localhost ip6-loopback\n0.0.0.0 0.0.0.0\n0.0.0.0\n", "", 0},
        {"plain", "ads.example\n  track.example  # why\n\n", "ads.example\ntrack.example\n", 0},
        {"adblock",
         "[Adblock Plus 2.0]\n! c\n||ads.example^\n@@||ok.example^\nsite.example##.banner\n"
         "||opt.example^$third-party\n/banner/*\n||path.example/x^\n",
         "ads.example\n", 0},
        {"bad lines", "two words\nbad!name.example\n0.0.0.0 ok.example bad..example\n",
         "ok.example\n", 3},
    };
    for (const auto& row : rows) {
        const auto parsed = core::parseList(row.text);
        EXPECT_EQ(parsed.names, row.names) << row.format;
        EXPECT_EQ(parsed.badLines, row.bad) << row.format;
        EXPECT_EQ(parsed.refusal, core::Refusal::None) << row.format;
    }
}

TEST(BlockLists, RefusesListsPastTheLimits) {
    for (const std::size_t names : {core::kMostNames, core::kMostNames + 1}) {
        std::string list;
        for (std::size_t i = 0; i < names; ++i) {
            list += "a.example\n";
        }
        const auto parsed = core::parseList(list);
        EXPECT_EQ(parsed.refusal,
                  names > core::kMostNames ? core::Refusal::TooManyNames : core::Refusal::None);
        EXPECT_EQ(parsed.names.empty(), names > core::kMostNames);
    }
    // Pages never touched cost nothing: the refusal must come before any byte is read.
    const std::size_t size = core::kMostBytes + 1;
    void* big = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(big, MAP_FAILED);
    EXPECT_EQ(core::parseList({static_cast<const char*>(big), size}).refusal,
              core::Refusal::TooBig);
    munmap(big, size);
}

TEST(BlockLists, MergesWithoutDuplicatesOrAllowedNames) {
    struct Row {
        const char* what;
        std::string badHosts;
        std::vector<std::string_view> subscribed;
        std::string allowed;
        std::string list;
        std::string names;
    };
    const std::vector<Row> rows = {
        {"case ignored",
         "Ads.Example\r\n",
         {"ads.example\nnew.example\n", "new.example\n"},
         "",
         "Ads.Example\r\n",
         "new.example\n"},
        {"exact name",
         "a.example\r\nb.example\r\n",
         {"c.example\nx.c.example\n"},
         "B.example\r\nc.example\r\n",
         "a.example\r\n",
         "x.c.example\n"},
        {"name and every name under it",
         "ad.example\r\n",
         {"x.ad.example\ny.x.ad.example\nbad.example\nother.example\n"},
         "*.ad.example\n",
         "",
         "bad.example\nother.example\n"},
    };
    for (const auto& row : rows) {
        const auto merged =
            core::merge(row.badHosts, core::combine(row.subscribed), core::AllowList(row.allowed));
        EXPECT_EQ(merged.list, row.list) << row.what;
        EXPECT_EQ(merged.names, row.names) << row.what;
    }
}

// The subscribed names go several to a line after badHosts.dat's one-per-line entries, no line
// past 500 bytes, and the give-back of keep mode takes them out to the byte.
TEST(BlockLists, KeepModeBlockOfManyNamesComesOutWhole) {
    struct Row {
        std::size_t names;
        std::size_t length;
        std::vector<std::size_t> perLine;
    };
    const std::string user = "127.0.0.1 localhost\n10.0.0.2 printer";
    const std::string head =
        "\r\n\r\n#Following lines created by Tessel:\r\n127.0.0.1   ad.example\r\n";
    for (const Row& row : {Row{17, 10, {16, 1}}, Row{10, 100, {4, 4, 2}}}) {
        std::string names;
        for (std::size_t i = 0; i < row.names; ++i) {
            const std::string number = std::to_string(i);
            names.append(number).append(row.length - number.size() - 2, 'x').append(".e\n");
        }
        const std::string written = core::keepModePieces(user, "ad.example\r\n", names).whole();
        ASSERT_EQ(written.substr(user.size(), head.size()), head);
        std::vector<std::size_t> perLine;
        for (std::size_t at = user.size() + head.size(); at < written.size();) {
            const std::size_t end = written.find("\r\n", at) + 2;
            EXPECT_LE(end - at, 500u);
            EXPECT_EQ(written.substr(at, 12), "127.0.0.1   ");
            const std::string line = written.substr(at, end - at);
            perLine.push_back(static_cast<std::size_t>(std::count(line.begin(), line.end(), ' ')) -
                              2);
            at = end;
        }
        EXPECT_EQ(perLine, row.perLine);
        EXPECT_EQ(core::restoreKeepMode(written), user);
        std::string second(row.length - 2, 'x');
        second.front() = '1';
        EXPECT_TRUE(core::resolverFinds(written, second.append(".e")));
        EXPECT_FALSE(core::resolverFinds(written, "x.e"));
    }
}

}  // namespace
