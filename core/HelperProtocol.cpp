#include "core/HelperProtocol.h"

#include <algorithm>

namespace tessel::core {
namespace {

void putNumber(std::string& out, std::uint64_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xff));
    }
}

// Reads a body front to back; the first failure sticks, so callers check once at the end.
class Reader final {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}

    std::uint64_t number(int bytes) {
        if (!take(static_cast<std::size_t>(bytes))) {
            return 0;
        }
        std::uint64_t value = 0;
        for (const char c : taken_) {
            value = (value << 8) | static_cast<unsigned char>(c);
        }
        return value;
    }
    std::string text(std::size_t length) { return take(length) ? std::string(taken_) : ""; }
    bool flag() {
        const auto value = number(1);
        if (value > 1) {
            fail("a flag is neither 0 nor 1");
        }
        return value == 1;
    }
    void fail(const char* why) {
        if (why_ == nullptr) {
            why_ = why;
        }
    }
    // The reason of the first failure, or of bytes left over; nothing when all went well.
    const char* finish() {
        if (why_ == nullptr && !rest_.empty()) {
            fail("bytes after the end of the message");
        }
        return why_;
    }
    std::size_t left() const { return rest_.size(); }
    bool ok() const { return why_ == nullptr; }

private:
    bool take(std::size_t length) {
        if (why_ != nullptr || rest_.size() < length) {
            fail("the message is cut short");
            return false;
        }
        taken_ = rest_.substr(0, length);
        rest_.remove_prefix(length);
        return true;
    }

    std::string_view rest_;
    std::string_view taken_;
    const char* why_ = nullptr;
};

template <typename T>
std::optional<T> finished(Reader& reader, T value, std::string* why) {
    if (const char* reason = reader.finish()) {
        if (why != nullptr) {
            *why = reason;
        }
        return std::nullopt;
    }
    return value;
}

constexpr int kLengthBytes = 2;

void readLines(Reader& reader, std::vector<std::string>& lines) {
    const auto count = reader.number(4);
    // Each line takes at least its length's bytes, so a count the body cannot hold is refused
    // before any room is made for it.
    if (count > kMaxNames || count > reader.left() / kLengthBytes) {
        return reader.fail("too many names");
    }
    lines.reserve(count);
    for (std::uint64_t i = 0; i < count && reader.ok(); ++i) {
        lines.push_back(reader.text(reader.number(kLengthBytes)));
    }
}

// A line too long for its length field is sent cut to it, and is left out as too long anyway.
void putLines(std::string& out, const std::vector<std::string>& lines) {
    putNumber(out, lines.size(), 4);
    for (const auto& line : lines) {
        const std::string_view sent = std::string_view(line).substr(0, 0xffff);
        putNumber(out, sent.size(), kLengthBytes);
        out.append(sent);
    }
}

bool isAllowedPort(std::uint64_t port) {
    return port == kHttpPort || port == kHttpsPort;
}

}  // namespace

bool isHostName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxNameLength &&
           std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_' || c == '.';
           });
}

bool isSafeLine(std::string_view line) {
    return line.size() <= kMaxLineLength &&
           line.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::size_t keepSafeLines(std::vector<std::string>& lines, std::vector<std::string>& grouped) {
    const std::size_t before = lines.size() + grouped.size();
    std::erase_if(lines, [](const std::string& line) { return !isSafeLine(line); });
    std::erase_if(grouped, [](const std::string& name) { return !isHostName(name); });
    return before - lines.size() - grouped.size();
}

std::string frame(std::string_view body) {
    std::string out;
    out.reserve(kFrameHeaderSize + body.size());
    putNumber(out, body.size(), kFrameHeaderSize);
    out.append(body);
    return out;
}

std::optional<std::size_t> bodySize(std::string_view header) {
    Reader reader(header);
    const auto size = reader.number(kFrameHeaderSize);
    if (reader.finish() != nullptr || size == 0 || size > kMaxBodySize) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(size);
}

std::string encode(const Request& request) {
    std::string out(1, static_cast<char>(request.kind));
    switch (request.kind) {
        case Kind::Hello:
            putNumber(out, request.version, 2);
            break;
        case Kind::Listen:
            putNumber(out, request.port, 2);
            break;
        case Kind::Write:
            out.push_back(request.keep ? '\1' : '\0');
            putLines(out, request.lines);
            putLines(out, request.grouped);
            break;
        case Kind::GiveBack:
            out.push_back(request.keep ? '\1' : '\0');
            break;
    }
    return out;
}

std::optional<Request> parseRequest(std::string_view body, std::string* why) {
    Reader reader(body);
    Request request;
    const auto kind = reader.number(1);
    request.kind = static_cast<Kind>(kind);
    switch (request.kind) {
        case Kind::Hello:
            request.version = static_cast<std::uint16_t>(reader.number(2));
            break;
        case Kind::Listen:
            request.port = static_cast<std::uint16_t>(reader.number(2));
            if (!isAllowedPort(request.port)) {
                reader.fail("a port the helper does not open");
            }
            break;
        case Kind::Write:
            request.keep = reader.flag();
            readLines(reader, request.lines);
            readLines(reader, request.grouped);
            break;
        case Kind::GiveBack:
            request.keep = reader.flag();
            break;
        default:
            reader.fail("an unknown kind of message");
    }
    return finished(reader, std::move(request), why);
}

std::string encode(const Reply& reply) {
    std::string out(1, static_cast<char>(reply.failure));
    putNumber(out, static_cast<std::uint32_t>(reply.number), 4);
    putNumber(out, reply.skipped, 4);
    const std::string_view text = std::string_view(reply.text).substr(0, kMaxTextLength);
    putNumber(out, text.size(), 2);
    out.append(text);
    return out;
}

std::optional<Reply> parseReply(std::string_view body, std::string* why) {
    Reader reader(body);
    Reply reply;
    const auto failure = reader.number(1);
    reply.failure = static_cast<Failure>(failure);
    reply.number = static_cast<std::int32_t>(static_cast<std::uint32_t>(reader.number(4)));
    reply.skipped = static_cast<std::uint32_t>(reader.number(4));
    const auto length = reader.number(2);
    if (failure > static_cast<std::uint8_t>(kLastFailure)) {
        reader.fail("an unknown outcome");
    } else if (length > kMaxTextLength) {
        reader.fail("a message text too long");
    }
    reply.text = reader.text(length);
    return finished(reader, std::move(reply), why);
}

std::optional<std::string> Session::admit(const Request& request) {
    if (greeted_ == (request.kind == Kind::Hello)) {
        return greeted_ ? "a second greeting" : "a request before the greeting";
    }
    if (request.kind == Kind::Hello && request.version != kVersion) {
        return "protocol version " + std::to_string(request.version) + " where " +
               std::to_string(kVersion) + " is spoken";
    }
    greeted_ = true;
    return std::nullopt;
}

}  // namespace tessel::core
