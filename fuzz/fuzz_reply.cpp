// The 302 reply for any picture path, and the picture reply for the same bytes taken as a picture
// file. A path holding CR or LF would split the header; keeping such paths out is the caller's
// business, and here they need only not crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Reply.h"
#include "fuzz/Check.h"

namespace {

constexpr std::string_view kHead =
    "HTTP/1.0 302 Moved Temporarily\r\n"
    "Content-Type: text/html\r\n";
constexpr std::string_view kTail =
    "\r\n"
    "Pragma: max-age=0\r\n"
    "Cache-Control: no-cache\r\n"
    "Content-Length: 36\r\n"
    "\r\n";
constexpr std::string_view kBody = "<h1>Error 302 Moved Temporarily</h1>";
// Everything but the URL: the fixed lines, "Location: " and the body.
constexpr std::size_t kFixedSize = 171;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view path(reinterpret_cast<const char*>(data), size);
    const std::string url = tessel::responder::locationUrl(path);
    const std::string reply = tessel::responder::buildReply(path);

    TESSEL_CHECK(url.starts_with("file:///"));
    // Percent-decoding the URL's path gives the picture's path back, and no byte that would end
    // the header line or change the URL's meaning is left raw.
    std::string decoded;
    for (std::size_t at = path.starts_with('/') ? 7 : 8; at < url.size(); ++at) {
        const auto c = static_cast<unsigned char>(url[at]);
        TESSEL_CHECK(c > 0x20 && c < 0x7f && c != '#' && c != '?');
        if (c == '%') {
            TESSEL_CHECK(at + 2 < url.size());
            decoded += static_cast<char>(std::stoi(url.substr(at + 1, 2), nullptr, 16));
            at += 2;
        } else {
            decoded += static_cast<char>(c);
        }
    }
    TESSEL_CHECK(decoded == path);

    static_assert(kHead.size() + std::string_view("Location: ").size() + kTail.size() +
                      kBody.size() ==
                  kFixedSize);
    TESSEL_CHECK(reply.size() == kFixedSize + url.size());
    TESSEL_CHECK(reply.starts_with("HTTP/1.0 302 Moved Temporarily\r\n"));
    TESSEL_CHECK(reply.ends_with(kBody));
    const std::string location = "Location: " + url + "\r\n";
    TESSEL_CHECK(reply.compare(kHead.size(), location.size(), location) == 0);
    TESSEL_CHECK(reply.compare(kHead.size() + location.size() - 2, kTail.size(), kTail) == 0);

    const std::string picture = tessel::responder::buildPictureReply(path, path);
    const bool sent = !tessel::responder::pictureType(path).empty() &&
                      path.size() <= tessel::responder::kMaxPictureBytes;
    TESSEL_CHECK(sent != (picture == reply));
    TESSEL_CHECK(!sent || (picture.starts_with("HTTP/1.0 200 OK\r\n") &&
                           picture.ends_with(std::string("\r\n\r\n").append(path))));
    return 0;
}
