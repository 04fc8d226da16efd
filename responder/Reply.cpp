#include "responder/Reply.h"

namespace tessel::responder {

std::string locationUrl(std::string_view picturePath) {
    std::string url = picturePath.starts_with('/') ? "file://" : "file:///";
    url.append(picturePath);
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
