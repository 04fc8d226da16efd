// The statistics of blocked servers: stats.dat's exact text and its strict reading, the bounds a
// trim keeps, and a save killed at any moment leaving one whole version of the file.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <limits>
#include <random>
#include <tuple>

#include "core/Statistics.h"
#include "fault/Fault.h"
#include "platform/linux/PosixFileSystem.h"

namespace tessel::core {
namespace {

constexpr std::int64_t kT = 1'700'000'000;  // hour 472222
constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();

// Hours written in increasing order, servers most first and equal counts by name, counts that
// saturate, the latest time a name was seen, and the rows that are not names.
TEST(Statistics, ExactTextAndItsReading) {
    Statistics s;
    s.add("b.example", 2, kT + 3600);
    s.add("", 5, kT);
    s.add("a.example", 2, kT - 7200);
    s.add("a.example", 0, kT + 9000);
    s.add(kOthers, 7, kT);
    s.add("big.example", kMost - 1, kT - 10);
    s.add("big.example", 5, kT - 20);
    const std::string text =
        "Tessel statistics 1\nhour\t472220\t2\nhour\t472222\t18446744073709551615\n"
        "hour\t472223\t2\nserver\t18446744073709551615\t1699999990\tbig.example\n"
        "server\t7\t1700000000\t(others)\nserver\t5\t1700000000\t(no name)\n"
        "server\t2\t1699992800\ta.example\nserver\t2\t1700003600\tb.example\n";
    EXPECT_EQ(s.format(), text);
    EXPECT_EQ(Statistics::parse(text).value_or(Statistics{}).format(), text);
    EXPECT_EQ(s.countLines(),
              "18446744073709551615\tbig.example\n7\t(others)\n5\t(no name)\n2\ta.example\n"
              "2\tb.example\n");
}

TEST(Statistics, DamagedTextReadsAsNothing) {
    const std::string h = "Tessel statistics 1\n";
    struct Row {
        const char* what;
        std::string text = {};
        bool whole = false;
    };
    const Row rows[] = {
        {"empty", ""},
        {"other version", "Tessel statistics 2\n"},
        {"no version line", "hour\t1\t2\n"},
        {"unknown kind", h + "servers\t1\t1\ta.example\n"},
        {"empty line", h + "\n"},
        {"hour fields", h + "hour\t1\t2\t3\n"},
        {"server fields", h + "server\t1\t2\ta.example\t\n"},
        {"sign", h + "hour\t-1\t2\n"},
        {"leading zero", h + "hour\t01\t2\n"},
        {"trailing", h + "hour\t1\t2x\n"},
        {"empty number", h + "server\t1\t\ta.example\n"},
        {"count overflow", h + "hour\t1\t18446744073709551616\n"},
        {"time overflow", h + "server\t1\t9223372036854775808\ta.example\n"},
        {"zero hour count", h + "hour\t1\t0\n"},
        {"zero server count", h + "server\t0\t1\ta.example\n"},
        {"upper case", h + "server\t1\t1\tA.example\n"},
        {"final dot", h + "server\t1\t1\ta.example.\n"},
        {"other row", h + "server\t1\t1\t(none)\n"},
        {"duplicate hour", h + "hour\t1\t2\nhour\t1\t3\n"},
        {"duplicate server", h + "server\t1\t1\ta.example\nserver\t2\t1\ta.example\n"},
        {"no final LF", h + "hour\t1\t2"},
        {"version without LF", "Tessel statistics 1"},
        {"CR", h + "hour\t1\t2\r\n"},
        {"just the version", h, true},
        {"bounds", h + "hour\t0\t18446744073709551615\nhour\t9223372036854775807\t1\n", true},
        {"rows in any order",
         h + "server\t1\t0\t(others)\nserver\t2\t1\t(no name)\nserver\t3\t9223372036854775807\t"
             "a-b_c.example\nhour\t9\t1\nhour\t8\t1\n",
         true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Statistics::parse(row.text).has_value(), row.whole) << row.what;
    }
}

std::string numbered(int i) {
    return std::string("n").append(std::to_string(100'000 + i).substr(1));
}

// Rows past the bound fold into "(others)", least counted and of equal counts the later name
// first, with "(no name)" kept however few it counts; a later trim folds only as many as it must.
// Hours are kept for exactly kHoursKept hours up to the present one.
TEST(Statistics, TrimKeepsTheBounds) {
    Statistics s;
    s.add("", 1, kT);
    for (int i = 0; i < 10'003; ++i) {
        s.add(numbered(i), static_cast<std::uint64_t>(i / 2 + 1), kT - i);
    }
    const Hour oldest = hourOf(kT) - kHoursKept + 1;
    s.add("n00009", 1, (oldest - 1) * 3600);
    s.add("n00010", 1, oldest * 3600);
    const std::uint64_t total = s.total();
    s.trim(kT);
    EXPECT_EQ(s.serverCount(), kMostServers);
    EXPECT_EQ(s.total(), total);
    const auto others = s.server(kOthers).value_or(ServerCount{});
    EXPECT_EQ(std::tie(others.count, others.lastSeen), std::tuple(9U, kT));
    EXPECT_TRUE(s.server("n00004") && !s.server("n00005") && s.server(kNoName));
    EXPECT_EQ(s.hourly(oldest - 1, 2), (std::vector<std::uint64_t>{0, 1}));
    s.add("n99999", 100, kT);
    s.trim(kT);
    EXPECT_EQ(s.server(kOthers).value_or(ServerCount{}).count, 9U + 3U);
}

// Two versions different throughout, so a file of parts of both is caught too.
std::string bigFile(std::uint64_t version) {
    Statistics s;
    for (int i = 0; i < 10'000; ++i) {
        s.add(numbered(i) + ".ads.example", version + static_cast<std::uint64_t>(i), kT - i * 60);
    }
    return s.format();
}

// The saving process killed at a random moment, again and again: the file is always one whole
// version, never a mix nor a part.
TEST(Statistics, KillDuringSaveLeavesAWholeFile) {
    fault::Scratch scratch;
    const std::string file = scratch / "stats.dat";
    const std::string versions[] = {bigFile(1), bigFile(1000)};
    platform::PosixFileSystem files;
    ASSERT_TRUE(files.writeFile(file, versions[0]).ok());
    std::mt19937 random(std::random_device{}());
    int whole = 0;
    for (int round = 0; round < 30; ++round) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(10);
            for (int save = round;; ++save) {
                (void)files.writeFile(file, versions[save % 2]);
            }
        }
        ::usleep(static_cast<useconds_t>(random() % 20'001));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const auto read = Statistics::parse(fault::contentOf(file));
        const std::string text = read ? read->format() : "";
        whole += text == versions[0] || text == versions[1];
    }
    EXPECT_EQ(whole, 30);
}

}  // namespace
}  // namespace tessel::core
