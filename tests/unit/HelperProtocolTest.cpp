#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/HelperProtocol.h"

using namespace tessel::core;
using namespace std::string_literals;

namespace {

enum class Read { Requests, Header, Reply };

struct Row {
    const char* what;
    Read read;
    // For requests: a session's messages in order; all but the last must be taken.
    std::vector<std::string> bodies;
    bool taken;
};

const std::string kHello = encode(Request::hello());
const std::string kWrite = encode(Request::write(true, {"ad.example", "x_y-1.example"}));

bool takes(const Row& row) {
    if (row.read == Read::Header) {
        return bodySize(row.bodies.back()).has_value();
    }
    if (row.read == Read::Reply) {
        return parseReply(row.bodies.back()).has_value();
    }
    Session session;
    for (std::size_t i = 0; i < row.bodies.size(); ++i) {
        const auto request = parseRequest(row.bodies[i]);
        const bool taken = request && !session.admit(*request);
        if (taken) {
            EXPECT_EQ(encode(*request), row.bodies[i]) << row.what << ": read back differently";
        }
        if (i + 1 == row.bodies.size()) {
            return taken;
        }
        EXPECT_TRUE(taken) << row.what << ": message " << i;
    }
    return false;
}

}  // namespace

// Whatever `tessel` sends, the helper takes only whole, well-formed messages in order, and no
// name that could put anything but a host name into /etc/hosts.
TEST(HelperProtocol, TakesOnlyWellFormedMessagesInOrder) {
    const std::vector<Row> rows{
        {"greeting, then a write", Read::Requests, {kHello, kWrite}, true},
        {"greeting, then port 443", Read::Requests, {kHello, encode(Request::listen(443))}, true},
        {"a port other than 80 and 443",
         Read::Requests,
         {kHello, encode(Request::listen(22))},
         false},
        {"a write before the greeting", Read::Requests, {kWrite}, false},
        {"a second greeting", Read::Requests, {kHello, kHello}, false},
        {"another version", Read::Requests, {"\x01\x00\x01"s}, false},
        {"an empty body", Read::Requests, {kHello, ""}, false},
        {"an unknown kind", Read::Requests, {kHello, "\x09"s}, false},
        {"bytes after the end", Read::Requests, {kHello, kWrite + "x"}, false},
        {"a keep flag of 2", Read::Requests, {kHello, "\x04\x02"s}, false},
        {"a write cut short", Read::Requests, {kHello, kWrite.substr(0, kWrite.size() - 1)}, false},
        {"more names than bytes",
         Read::Requests,
         {kHello,
          "\x03\x01\x00\x01\x00\x00\x01"
          "a"s},
         false},
        {"a line cut short", Read::Requests, {kHello, "\x03\x00\x00\x00\x00\x01\x00"s}, false},
        {"a line no host name could be",
         Read::Requests,
         {kHello, encode(Request::write(false, {"a\nb", "ad example"}, {"c d"}))},
         true},
        {"a frame of the largest size", Read::Header, {"\x08\x00\x00\x00"s}, true},
        {"a frame one byte larger", Read::Header, {"\x08\x00\x00\x01"s}, false},
        {"an empty frame", Read::Header, {"\x00\x00\x00\x00"s}, false},
        {"a header cut short", Read::Header, {"\x00\x00\x01"s}, false},
        {"a failure with its text",
         Read::Reply,
         {encode(Reply{tessel::core::Failure::CannotListen, 98, 3, "in use"})},
         true},
        {"the last outcome", Read::Reply, {"\x09"s + std::string(10, '\0')}, true},
        {"an unknown outcome", Read::Reply, {"\x0a"s + std::string(10, '\0')}, false},
        {"a text longer than its bound",
         Read::Reply,
         {"\x02\x00\x00\x00\x00\x00\x00\x00\x00\x10\x01"s + std::string(4097, 'a')},
         false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(takes(row), row.taken) << row.what;
    }
}

// The server list's lines go into /etc/hosts as they are, as they do without the helper; only
// what could end an entry line early or hide the rest of the file is left out, line by line.
TEST(HelperProtocol, LeavesOutOnlyLinesThatCouldBreakTheFile) {
    struct Line {
        const char* what;
        std::string line;
        bool kept;
    };
    const std::vector<Line> rows{
        {"blanks", "   ", true},
        {"a comment", "# ads", true},
        {"a tab and a trailing blank", "ad\texample ", true},
        {"a name that is not ASCII", "caf\xc3\xa9.example", true},
        {"the longest line", std::string(kMaxLineLength, 'a'), true},
        {"one byte longer", std::string(kMaxLineLength + 1, 'a'), false},
        {"a CR", "ad\rexample", false},
        {"an LF", "ad\nexample", false},
        {"a NUL", "ad\0example"s, false},
    };
    for (const auto& row : rows) {
        std::vector<std::string> lines{"before.example", row.line, "after.example"};
        std::vector<std::string> grouped;
        const std::size_t skipped = keepSafeLines(lines, grouped);
        const std::vector<std::string> expected =
            row.kept ? std::vector<std::string>{"before.example", row.line, "after.example"}
                     : std::vector<std::string>{"before.example", "after.example"};
        EXPECT_TRUE(lines == expected && skipped == (row.kept ? 0U : 1U)) << row.what;
    }
}
