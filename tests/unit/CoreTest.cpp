#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/HostsText.h"
#include "core/ListEditor.h"
#include "core/PrefsFormat.h"
#include "core/Reply.h"
#include "core/SavedHosts.h"
#include "ui/EditorLayout.h"

using namespace tessel::core;
using namespace std::string_literals;

namespace {

// The bytes the resolver sees, written out by hand so that a change to the writer shows.
const std::string kHeader =
    "#\r\n# Hosts file created by Tessel\r\n#\r\n\r\n"
    "# localhost: Needs to stay like this to work\r\n127.0.0.1   localhost\r\n\r\n"
    "# Other servers: These servers are directed towards\r\n"
    "# Tessel to be filtered. You must alter these from\r\n# within the Tessel program.\r\n\r\n";
const std::string kBlockHead = "\r\n\r\n#Following lines created by Tessel:\r\n";
// What the line filter leaves of the header when a replace-mode file is given back in keep mode.
const std::string kReduced =
    "\r\n# localhost: Needs to stay like this to work\r\n127.0.0.1   localhost\r\n"
    "# Other servers: These servers are directed towards\r\n";

// Input, and what it must come out as; no value where nothing may come out.
struct Case {
    const char* name;
    std::string in;
    std::optional<std::string> out = {};
};

TEST(HostsText, WritersPutOneEntryPerNonEmptyLine) {
    const Case rows[] = {
        {"empty", "\r\n\n", ""},
        {"no final line end", "ads.example", "127.0.0.1   ads.example\r\n"},
        {"mixed line ends", "a\r\n\r\nb\n\nc",
         "127.0.0.1   a\r\n127.0.0.1   b\r\n127.0.0.1   c\r\n"},
        {"blanks and lone CR stay", "  \r\na\rb\r", "127.0.0.1     \r\n127.0.0.1   a\rb\r\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(replaceModeText(row.in), kHeader + *row.out);
        EXPECT_EQ(keepModeBlock(row.in), kBlockHead + *row.out);
    }
}

TEST(HostsText, KeepModeRestoreTakesOutExactlyTheBlocks) {
    const std::string block = keepModeBlock("ads.example\r\nx\r\n");
    const Case rows[] = {
        {"lines after the block", "1.1.1.1 a\r\n" + block + "2.2.2.2 b\r\n",
         "1.1.1.1 a\r\n2.2.2.2 b\r\n"},
        {"block without entries", "1.1.1.1 a\r\n" + kBlockHead + "2.2.2.2 b",
         "1.1.1.1 a\r\n2.2.2.2 b"},
        {"replace-mode file: the line filter",
         kHeader + "127.0.0.1   a.example\r\nab\r\nabc\r\n\r\n", kReduced + "abc\r\n"},
        {"no block", "127.0.0.1   a\r\n"},
        {"marker without its blank lines", "x\r\n#Following lines created by Tessel:\r\n"},
        {"LF blank lines", "\n\n#Following lines created by Tessel:\n127.0.0.1   a\n"},
        {"header the user edited", "#\r\n# Hosts file created by Tessel\r\n#\r\n1.2.3.4 me\r\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(restoreKeepMode(row.in), row.out) << row.name;
    }
}

TEST(HostsText, ReplaceModeCarriesTheMachinesOwnNames) {
    const Case rows[] = {
        {"debian", "127.0.0.1\tlocalhost\n127.0.1.1\tbox.lan\tbox\n\n::1 ip6-loopback\nff02::1 x\n",
         "127.0.0.1\tlocalhost\r\n127.0.1.1\tbox.lan\tbox\r\n::1 ip6-loopback\r\n"},
        {"host name in another domain", "10.0.0.5 BOX.office # me\n",
         "10.0.0.5 BOX.office # me\r\n"},
        {"listed servers leave the line", "127.0.1.1 box ads.example\n", "127.0.1.1 box\r\n"},
        {"not this machine", "10.0.0.2 boxer # localhost\n#127.0.0.1 localhost\n", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(machineLines(row.in, "Box.lan", "ADS.example\r\n"), *row.out);
        const std::string written = replaceModeText("ads.example\r\n", *row.out);
        EXPECT_EQ(carriedMachineLines(written), *row.out);
    }
}

TEST(HostsText, OnlyAddressesAndNamesAreHostsText) {
    for (const auto& [text, hosts] :
         {std::pair{"\n# c\n  \t\n", true},
          {"127.0.0.1 a b # c\r\n::1\tlocalhost", true},
          {"fe80::1%eth0 x\n::ffff:10.0.0.1 y\n255.255.255.255 z", true},
          {"root:x:0:0:root:/root:/bin/sh\n", false},
          {"127.0.0.1\n", false},
          {"256.0.0.1 a", false},
          {"1.2.3 a", false},
          {"1.2.3.4.5 a", false},
          {"x:y z", false},
          {"::g a", false}}) {
        EXPECT_EQ(isHostsText(text), hosts) << text;
    }
}

TEST(HostsText, SavedFileComesBackWholeOrNotAtAll) {
    const std::string record = formatSavedHosts({"/etc/hosts", true, 3, 4, 0604, "1.2.3.4 a\n"});
    EXPECT_EQ(formatSavedHosts(parseSavedHosts(record).value()), record);
    for (std::size_t cut = 0; cut < record.size(); ++cut) {
        EXPECT_FALSE(parseSavedHosts(record.substr(0, cut)).has_value()) << cut;
    }
    EXPECT_FALSE(parseSavedHosts(record + "x").has_value());
}

// The picture itself for the five known types, told by its bytes; the redirect to the picture's
// URL, its odd bytes percent-encoded, for anything unreadable, unknown or over a megabyte.
TEST(Reply, PictureOrRedirect) {
    const std::string path = "/p/my pic#b?c%d\x01\x7f\xc3\xa9~.gif", mb(1024 * 1024 - 6, 'x');
    const std::string to = "Location: file:///p/my%20pic%23b%3Fc%25d%01%7F%C3%A9~.gif";
    const std::tuple<const char*, std::optional<std::string>, std::string> rows[] = {
        {"gif87", "GIF87a\1\0\1\0"s, "Content-Type: image/gif"},
        {"gif89 of a megabyte", "GIF89a" + mb, "Content-Type: image/gif"},
        {"png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s, "Content-Type: image/png"},
        {"jpeg", "\xff\xd8\xff\xe0\0\x10JFIF"s, "Content-Type: image/jpeg"},
        {"bmp", "BM" + std::string(16, '\0'), "Content-Type: image/bmp"},
        {"webp", "RIFF\x24\0\0\0WEBPVP8 "s, "Content-Type: image/webp"},
        {"unreadable", std::nullopt, to},
        {"text", "GIF is fun"s, to},
        {"bmp header cut short", "BM" + std::string(15, '\0'), to},
        {"riff wave", "RIFF\x24\0\0\0WAVEfmt "s, to},
        {"over a megabyte", "GIF89a" + mb + "x", to}};
    for (const auto& [name, bytes, header] : rows) {
        SCOPED_TRACE(name);
        const std::string reply = buildPictureReply(path, bytes);
        const std::string body = reply.substr(reply.find("\r\n\r\n") + 4);
        const bool sent = header.starts_with("Content-Type");
        EXPECT_TRUE(
            reply.starts_with(sent ? "HTTP/1.0 200 OK\r\n" : "HTTP/1.0 302 Moved Temporarily\r\n"));
        EXPECT_NE(reply.find("\r\n" + header + "\r\n"), std::string::npos);
        EXPECT_NE(reply.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
                  std::string::npos);
        EXPECT_TRUE(sent ? body == *bytes : reply == buildReply(path));
    }
    EXPECT_NE(buildReply("C:\\x").find("\r\nLocation: file:///C:\\x\r\n"), std::string::npos);
}

TEST(ListEditor, LoadsCleanedAndSortedWithoutCase) {
    const Case rows[] = {
        {"case ignored", "z.NET\r\nAl.net\r\nBE.net\r\nal.org\r\n",
         "Al.net\r\nal.org\r\nBE.net\r\nz.NET"},
        {"short lines go, two characters stay", "b.c\r\n\r\nx\r\nab\n \r\nc.c", "ab\r\nb.c\r\nc.c"},
        {"equal entries keep file order", "ab.c\r\nAb.c\r\nAA.c\r\n", "AA.c\r\nab.c\r\nAb.c"},
        // The last entry moved into the short line's place, ahead of its equal.
        {"after a removal", "Ab.c\r\nx\r\nab.c\r\nAB.c\r\n", "Ab.c\r\nAB.c\r\nab.c"},
        {"name before its longer forms", "p.example.com.au\np.example.com\np.example\n",
         "p.example\r\np.example.com\r\np.example.com.au"},
        {"decided past the twelfth character", "adserver.example.net\r\nadserver.example.com\r\n",
         "adserver.example.com\r\nadserver.example.net"},
        {"decided past the fortieth",
         "ads.a-long-prefix-shared-by-two-names.example.net\r\n"
         "ads.a-long-prefix-shared-by-two-names.example.com",
         "ads.a-long-prefix-shared-by-two-names.example.com\r\n"
         "ads.a-long-prefix-shared-by-two-names.example.net"},
        {"duplicates and blanks kept", "b.c \r\n\ta.c\r\nb.c \r\n", "\ta.c\r\nb.c \r\nb.c "},
        {"only short lines", "a\r\n\r\nb\r\n \r\n", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(loadForEditing(row.in), *row.out) << row.name;
    }
    // Forty spellings of one name after a later one: more than a sort puts in place by simple
    // insertion.
    std::string spellings;
    for (unsigned pattern = 0; pattern < 40; ++pattern) {
        std::string name = "abcdef.com";
        for (unsigned bit = 0; bit < 6; ++bit) {
            name[bit] =
                (pattern & (1U << bit)) != 0 ? static_cast<char>(name[bit] - 32) : name[bit];
        }
        spellings += (pattern == 0 ? "" : "\r\n") + name;
    }
    EXPECT_EQ(loadForEditing("zz.com\r\n" + spellings), spellings + "\r\nzz.com");
}

TEST(ListEditor, SavesCollapsedText) {
    const std::pair<std::string, std::string> rows[] = {
        {"a.com\r\n\r\n\r\nb.com\r\n\r\nc.com", "a.com\r\nb.com\r\nc.com\r\n"},
        {"a.com\r\n\r\n\r\n", "a.com\r\n\r\n"},
        {"\r\n\r\na.com", "\r\na.com\r\n"},
        {" \ta.com \r\n b.com\t ", "\ta.com \r\n b.com\t\r\n"},
        {"    ", "\r\n"}};
    for (const auto& [typed, written] : rows) {
        EXPECT_EQ(savedList(collapseLineBreaks(typed)), written) << typed;
    }
}

TEST(ListEditor, ResizeRulesFollowTheOuterSize) {
    using namespace tessel::ui;
    const EditorLayout shrunk = resizeEditor({}, 6000, 4000);
    EXPECT_TRUE(shrunk == EditorLayout({120, 120, 5610, 2890}, {3210, 3130, 1095, 375},
                                       {4530, 3130, 1095, 375}));
    // Below one height the box, and below another the buttons, stay as they were.
    const int rows[][3] = {
        {1110, 2890, 3130}, {1111, 1, 3130}, {1395, 285, 3130}, {1396, 286, 526}};
    for (const auto& [height, box, buttons] : rows) {
        const EditorLayout layout = resizeEditor(shrunk, 5430, height);
        EXPECT_EQ(std::tie(layout.hosts.height, layout.ok.top, layout.cancel.top),
                  std::tie(box, buttons, buttons))
            << height;
    }
}

TEST(PrefsFormat, OddFilesGiveTheirLinesOrNothing) {
    using tessel::core::firstLines;
    using Lines = std::vector<std::string>;
    EXPECT_EQ(firstLines("a\r\nb\nc", 3), (Lines{"a", "b", "c"}));
    EXPECT_EQ(firstLines("a\rb\r\n\r\nc\r\nd", 3), (Lines{"a\rb", "", "c"}));
    EXPECT_EQ(firstLines("a\r\nb\r\n", 3), std::nullopt);
}

}  // namespace
