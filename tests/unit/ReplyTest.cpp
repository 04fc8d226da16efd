#include <gtest/gtest.h>

#include <optional>

#include "core/Reply.h"

using tessel::responder::buildReply;
using namespace std::string_literals;

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

// The picture itself for the five known types; today's 302 reply for anything unreadable, unknown
// or too big, whatever its name says.
struct PictureRow {
    const char* name;
    std::optional<std::string> bytes;
    std::string type;  // empty: the 302 reply
};
inline void PrintTo(const PictureRow& row, std::ostream* out) {
    *out << row.name;
}

class PictureReply : public ::testing::TestWithParam<PictureRow> {};

TEST_P(PictureReply, CarriesThePictureOrFallsBackToTheRedirect) {
    const auto& [name, bytes, type] = GetParam();
    const std::string path = "/opt/tessel/data/black.gif";
    const std::string reply = tessel::responder::buildPictureReply(path, bytes);
    if (type.empty()) {
        EXPECT_EQ(reply, buildReply(path));
        return;
    }
    EXPECT_EQ(reply, "HTTP/1.0 200 OK\r\nContent-Type: " + type +
                         "\r\nContent-Length: " + std::to_string(bytes->size()) +
                         "\r\nPragma: max-age=0\r\nCache-Control: no-cache\r\n\r\n" + *bytes);
}

const std::string kMegabyte(1024 * 1024 - 6, 'x');

INSTANTIATE_TEST_SUITE_P(
    Pictures, PictureReply,
    ::testing::Values(PictureRow{"Gif87", "GIF87a\1\0\1\0"s, "image/gif"},
                      PictureRow{"Gif89", "GIF89a" + kMegabyte, "image/gif"},
                      PictureRow{"Png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s, "image/png"},
                      PictureRow{"Jpeg", "\xff\xd8\xff\xe0\0\x10JFIF"s, "image/jpeg"},
                      PictureRow{"Bmp", "BM" + std::string(16, '\0'), "image/bmp"},
                      PictureRow{"Webp", "RIFF\x24\0\0\0WEBPVP8 "s, "image/webp"},
                      PictureRow{"Unreadable", std::nullopt, ""}, PictureRow{"Empty", ""s, ""},
                      PictureRow{"Text", "GIF is fun"s, ""},
                      PictureRow{"CutShortGif", "GIF89"s, ""},
                      PictureRow{"BmpHeaderCutShort", "BM" + std::string(15, '\0'), ""},
                      PictureRow{"RiffWave", "RIFF\x24\0\0\0WAVEfmt "s, ""},
                      PictureRow{"OverAMegabyte", "GIF89a" + kMegabyte + "x", ""}));
