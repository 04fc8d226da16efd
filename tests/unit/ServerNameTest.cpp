#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/ServerName.h"
#include "fault/Fault.h"
#include "fuzz/NameReads.h"

using namespace std::string_literals;
namespace core = tessel::core;
using tessel::fuzz::split;

namespace {

struct Row {
    const char* what;
    std::string bytes;
    std::string name;  // empty: none read
};

// A row's outcome as one value, so a refusal that leaves a stale name behind shows too.
template <typename Read>
void expectRows(const std::vector<Row>& rows, Read read) {
    for (const auto& row : rows) {
        std::string name = "stale";
        const bool found = read(row.bytes, name);
        EXPECT_EQ(found ? name : "none" + name, row.name.empty() ? "none" : row.name) << row.what;
    }
}

std::string seed(const char* file) {
    return tessel::fault::contentOf(std::string(TESSEL_SEEDS).append(file));
}

// `body` after its length in `width` bytes, the length off by `lie`.
std::string sized(const std::string& body, int width, int lie = 0) {
    std::string out;
    const auto length = static_cast<long>(body.size()) + lie;
    for (int i = width - 1; i >= 0; --i) {
        out.push_back(static_cast<char>(length >> (8 * i)));
    }
    return out + body;
}

std::string hello(const std::string& extensions, int lie = 0) {
    const auto body = "\x03\x03"s + std::string(32, 'r') + sized("", 1) + sized("\x13\x01", 2) +
                      sized("\0"s, 1) + sized(extensions, 2);
    return "\x16\x03\x01"s + sized("\x01"s + sized(body, 3, lie), 2);
}

std::string serverName(const std::string& name, std::array<int, 3> lies = {}) {
    return "\0\0"s + sized(sized("\0"s + sized(name, 2, lies[2]), 2, lies[1]), 2, lies[0]);
}

const std::string kEch = "\xfe\x0d"s + sized("\0\x01\x02"s, 2);
const std::string kLongest = std::string(63, 'a') + '.' + std::string(63, 'b') + '.' +
                             std::string(63, 'c') + '.' + std::string(61, 'd');  // 253 bytes

TEST(ServerName, ReadsTheHostHeader) {
    const auto get = [](const std::string& fields) { return "GET / HTTP/1.1\r\n" + fields; };
    // A request of kMostNameBytes + `past` bytes whose last line is the Host header.
    const auto endingAt = [&](std::size_t past) {
        const auto head = get("Cookie: "), tail = "\r\nHost: b.example\r\n"s;
        return head + std::string(core::kMostNameBytes + past - head.size() - tail.size(), 'c') +
               tail;
    };
    expectRows(
        {
            {"case folded", get("Host: Ad.Example.COM\r\n\r\n"), "ad.example.com"},
            {"port and final dot", get("Host: a.example.:8080\r\n\r\n"), "a.example"},
            {"two final dots", get("Host: a.example..\r\n"), ""},
            {"field name case, LF lines", "GET / HTTP/1.0\nhOST:a.example\n\n", "a.example"},
            {"whitespace", get("Host: \t a.example \t\r\n"), "a.example"},
            {"missing", get("Accept: */*\r\n\r\n"), ""},
            {"only after the head", get("Accept: */*\r\n\r\nHost: a.example\r\n"), ""},
            {"other fields first",
             get("X-Host: a\r\nHostname: b\r\nHost : c\r\nHost: d.example\r\n"), "d.example"},
            {"line not ended", get("Host: a.example"), ""},
            {"bracketed IPv6", get("Host: [::1]:80\r\n"), ""},
            {"port not digits", get("Host: a.example:http\r\n"), ""},
            {"bad characters", get("Host: a!b.example\r\n"), ""},
            {"longest name", get("Host: " + kLongest + "\r\n"), kLongest},
            {"name too long", get("Host: " + kLongest + "d\r\n"), ""},
            {"head cut short", get("Host: a.example\r\nCookie: ") + std::string(20000, 'c'),
             "a.example"},
            {"line ends on the last byte looked at", endingAt(0), "b.example"},
            {"line ends past it", endingAt(1), ""},
        },
        core::hostFromRequest);
}

TEST(ServerName, ReadsTheServerNameExtension) {
    const auto padded = [](std::size_t bytes) {
        return split(
            hello("\0\x15"s + sized(std::string(bytes, '\0'), 2) + serverName("a.example")), 16000);
    };
    const auto kAlone = hello(serverName("a.example"));
    expectRows(
        {
            {"alone", kAlone, "a.example"},
            {"after ECH, folded", hello(kEch + serverName("A.Example.")), "a.example"},
            {"none", hello(kEch), ""},
            {"other entry type first",
             hello("\0\0"s + sized(sized("\x01\0\x01x\0"s + sized("b.example", 2), 2), 2)),
             "b.example"},
            {"extension past the extensions", hello(serverName("a.example", {1, 0, 0})), ""},
            {"list past the extension", hello(serverName("a.example", {0, 1, 0})), ""},
            {"name past the list", hello(serverName("a.example", {0, 0, 1})), ""},
            {"extensions past the hello", hello(serverName("a.example"), -1), ""},
            {"bad characters", hello(serverName("a!b.example")), ""},
            {"not a handshake record", kAlone.substr(0, 0) + '\x17' + kAlone.substr(1), ""},
            {"record longer than TLS allows", "\x16\x03\x01\x40\x01"s + kAlone.substr(5), ""},
            {"not a ClientHello", kAlone.substr(0, 5) + '\x02' + kAlone.substr(6), ""},
            {"over records of 7 bytes", split(hello(kEch + serverName("a.example")), 7),
             "a.example"},
            {"within the limit", padded(16000), "a.example"},
            {"past the limit", padded(16400), ""},
        },
        core::serverNameFromHello);
}

TEST(ServerName, ReusesTheNamesStorage) {
    std::string name;
    name.reserve(253);
    const auto* storage = name.data();
    EXPECT_TRUE(core::serverNameFromHello(seed("firefox-hello"), name) &&
                core::hostFromRequest("GET / HTTP/1.1\r\nHost: " + kLongest + "\r\n", name) &&
                name.data() == storage);
}

}  // namespace
