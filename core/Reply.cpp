#include "core/Reply.h"

#include <array>

namespace tessel::core {
namespace {

// No browser keeps the answer, so every later banner from a listed server comes back and counts.
constexpr std::string_view kCacheLines =
    "Pragma: max-age=0\r\n"
    "Cache-Control: no-cache\r\n";

// A picture is told by its first bytes and, inside a RIFF container, by a mark further in.
struct PictureKind final {
    std::string_view type;
    std::string_view lead;
    std::size_t markAt;
    std::string_view mark;
    std::size_t minimum;  // BMP's two lead bytes are weak: its file header must be whole too
};

constexpr std::array<PictureKind, 6> kKinds{{
    {"image/gif", "GIF87a", 0, "", 0},
    {"image/gif", "GIF89a", 0, "", 0},
    {"image/png", "\x89PNG\r\n\x1a\n", 0, "", 0},
    {"image/jpeg", "\xff\xd8\xff", 0, "", 0},
    {"image/bmp", "BM", 0, "", 18},
    {"image/webp", "RIFF", 8, "WEBP", 0},
}};

bool isKind(std::string_view bytes, const PictureKind& kind) {
    return bytes.size() >= kind.minimum && bytes.starts_with(kind.lead) &&
           bytes.size() >= kind.markAt + kind.mark.size() &&
           bytes.substr(kind.markAt, kind.mark.size()) == kind.mark;
}

}  // namespace

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
    reply += "\r\n";
    reply += kCacheLines;
    constexpr std::string_view kBody = "<h1>Error 302 Moved Temporarily</h1>";
    reply.append("Content-Length: ").append(std::to_string(kBody.size())).append("\r\n\r\n");
    reply += kBody;
    return reply;
}

std::string_view pictureType(std::string_view bytes) {
    for (const PictureKind& kind : kKinds) {
        if (isKind(bytes, kind)) {
            return kind.type;
        }
    }
    return {};
}

std::string buildPictureReply(std::string_view picturePath,
                              std::optional<std::string_view> picture) {
    const std::string_view type = picture ? pictureType(*picture) : std::string_view{};
    if (type.empty() || picture->size() > kMaxPictureBytes) {
        return buildReply(picturePath);
    }
    std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: ";
    reply += type;
    reply += "\r\nContent-Length: ";
    reply += std::to_string(picture->size());
    reply += "\r\n";
    reply += kCacheLines;
    reply += "\r\n";
    reply += *picture;
    return reply;
}

}  // namespace tessel::core
