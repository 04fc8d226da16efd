#include <gtest/gtest.h>

#include "responder/Reply.h"

using tessel::responder::buildReply;

struct ReplyRow {
    std::string picture;
    std::string location;
};
inline void PrintTo(const ReplyRow& row, std::ostream* out) {
    *out << '"' << row.picture << '"';
}

class Reply : public ::testing::TestWithParam<ReplyRow> {};

TEST_P(Reply, FixedBytesAroundTheLocation) {
    const std::string expected =
        "HTTP/1.0 302 Moved Temporarily\r\nContent-Type: text/html\r\nLocation: " +
        GetParam().location +
        "\r\nPragma: max-age=0\r\nCache-Control: no-cache\r\nContent-Length: 36\r\n\r\n"
        "<h1>Error 302 Moved Temporarily</h1>";
    EXPECT_EQ(buildReply(GetParam().picture), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Reply,
    ::testing::Values(ReplyRow{"/opt/tessel/data/Tessel.gif", "file:///opt/tessel/data/Tessel.gif"},
                      ReplyRow{"/home/me/my pictures/x.gif", "file:///home/me/my%20pictures/x.gif"},
                      ReplyRow{"/p/a#b?c%d\x01\x7f\xc3\xa9~.gif",
                               "file:///p/a%23b%3Fc%25d%01%7F%C3%A9~.gif"},
                      ReplyRow{"C:\\Program Files\\Tessel\\Data\\black.gif",
                               "file:///C:\\Program%20Files\\Tessel\\Data\\black.gif"},
                      ReplyRow{"", "file:///"}));
