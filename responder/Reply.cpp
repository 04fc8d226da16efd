#include "responder/Reply.h"

namespace tessel::responder {

std::string locationUrl(std::string_view picturePath) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = picturePath.starts_with('/') ? "file://" : "file:///";
    for (const char c : picturePath) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || c == '#' || c == '?' || c == '%') {
            url.append(1, '%').append(1, kHex[byte >> 4]).append(1, kHex[byte & 0xf]);
        } else {
            url.append(1, c);
        }
    }
    return url;
}

std::string buildReply(std::string_view picturePath) {
    std::string reply =
        "HTTP/1.0 302 Moved Temporarily\r\n"
        "Content-Type: text/html\r\n"
        "Location: ";
    reply += locationUrl(picturePath);
    reply +=
        "\r\n"
        "Pragma: max-age=0\r\n"
        "Cache-Control: no-cache\r\n"
        "Content-Length: 36\r\n"
        "\r\n"
        "<h1>Error 302 Moved Temporarily</h1>";
    return reply;
}

}  // namespace tessel::responder
