#include "core/ServerName.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/BlockLists.h"
#include "core/Names.h"

namespace tessel::core {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Copies before folding, so the caller's bytes stay as they came; the size is checked first so a
// long value never grows `name`.
bool takeName(std::string_view value, std::string& name) {
    if (value.ends_with('.')) {
        value.remove_suffix(1);
    }
    // isName allows a final dot, where a name lists are read from ends; a second one is no name.
    if (value.empty() || value.size() > kLongestName || value.ends_with('.')) {
        return false;
    }
    name.assign(value);
    lowerInPlace(name);
    if (!isName(name)) {
        name.clear();
        return false;
    }
    return true;
}

constexpr std::string_view kHostField = "host:";

bool isHostField(std::string_view line) {
    return line.size() >= kHostField.size() &&
           std::equal(kHostField.begin(), kHostField.end(), line.begin(),
                      [](char a, char b) { return a == lowerAscii(b); });
}

// A Host value without its optional whitespace and port. A bracketed IPv6 address keeps its
// brackets and colons, and a colon followed by anything but digits stays too, for isName to refuse.
std::string_view hostValue(std::string_view value) {
    while (!value.empty() && isBlank(value.front())) {
        value.remove_prefix(1);
    }
    while (!value.empty() && isBlank(value.back())) {
        value.remove_suffix(1);
    }
    const auto colon = value.find(':');
    if (colon != std::string_view::npos &&
        std::all_of(value.begin() + static_cast<std::ptrdiff_t>(colon) + 1, value.end(), isDigit)) {
        value = value.substr(0, colon);
    }
    return value;
}

}  // namespace

bool hostFromRequest(std::string_view request, std::string& name) {
    name.clear();
    request = request.substr(0, kMostNameBytes);
    // The first line is the request line; only a line ended by its LF is known to be whole.
    auto end = request.find('\n');
    while (end != std::string_view::npos) {
        request.remove_prefix(end + 1);
        end = request.find('\n');
        if (end == std::string_view::npos) {
            break;
        }
        auto line = request.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            break;  // the end of the head: what follows is a body or a later request
        }
        if (isHostField(line)) {
            return takeName(hostValue(line.substr(kHostField.size())), name);
        }
    }
    return false;
}

namespace {

constexpr char kHandshakeRecord = 22;
constexpr char kClientHello = 1;
constexpr std::size_t kRecordHeader = 5;
constexpr std::size_t kMessageHeader = 4;
constexpr std::size_t kMostRecord = 16 * 1024;
constexpr std::uint16_t kServerNameExtension = 0;
constexpr std::size_t kHostNameEntry = 0;

std::size_t number(std::string_view bytes, std::size_t at, std::size_t width) {
    std::size_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// Where the first handshake message in `bytes` ends, or npos while its header is incomplete.
std::size_t messageEnd(std::string_view bytes) {
    return bytes.size() < kMessageHeader ? std::string_view::npos
                                         : kMessageHeader + number(bytes, 1, 3);
}

// The handshake bytes the records at the start of `bytes` carry, as far as the first message
// reaches and the bytes go: the first record's own bytes where they suffice, as they nearly always
// do; else the payloads gathered into `buffer`. Empty when the first record is no handshake
// record; a later one that is none ends the bytes as a cut would, so that more bytes never undo a
// name fewer bytes gave.
std::string_view handshakeBytes(std::string_view bytes, std::array<char, kMostNameBytes>& buffer) {
    std::size_t gathered = 0;
    while (bytes.size() >= kRecordHeader) {
        const std::size_t length = number(bytes, 3, 2);
        if (bytes[0] != kHandshakeRecord || length > kMostRecord) {
            break;
        }
        const auto payload = bytes.substr(kRecordHeader, length);
        bytes.remove_prefix(std::min(bytes.size(), kRecordHeader + length));
        if (gathered == 0 &&
            (messageEnd(payload) <= payload.size() || bytes.size() < kRecordHeader)) {
            return payload;
        }
        std::memcpy(buffer.data() + gathered, payload.data(), payload.size());
        gathered += payload.size();
        if (messageEnd({buffer.data(), gathered}) <= gathered) {
            break;
        }
    }
    return {buffer.data(), gathered};
}

// A run of bytes that declares `size` bytes, of which `bytes` is what arrived (never more). Every
// length read inside must fit within `size`; reading past what arrived fails, as nothing is there.
struct Block final {
    std::string_view bytes;
    std::size_t size = 0;
    std::size_t at = 0;

    bool read(std::size_t width, std::size_t& value) {
        if (at + width > bytes.size()) {
            return false;
        }
        value = number(bytes, at, width);
        at += width;
        return true;
    }
    // The block of `width`-byte length that starts here, stepped over.
    bool sub(std::size_t width, Block& inner) {
        std::size_t length = 0;
        if (!read(width, length) || at + length > size) {
            return false;
        }
        inner = {bytes.substr(at, length), length, 0};
        at += length;
        return true;
    }
    bool done() const { return at == size; }
};

// The extensions block of a ClientHello: past the version, the random, the session id, the cipher
// suites and the compression methods.
bool extensions(std::string_view message, Block& out) {
    if (message.size() < kMessageHeader || message[0] != kClientHello) {
        return false;
    }
    const std::size_t size = messageEnd(message) - kMessageHeader;
    Block hello{message.substr(kMessageHeader, size), size, 2 + 32};
    Block skipped;
    return hello.sub(1, skipped) && hello.sub(2, skipped) && hello.sub(1, skipped) &&
           hello.sub(2, out);
}

bool hostName(Block extension, std::string& name) {
    Block list;
    if (!extension.sub(2, list)) {
        return false;
    }
    while (!list.done()) {
        std::size_t type = 0;
        Block entry;
        if (!list.read(1, type) || !list.sub(2, entry)) {
            return false;
        }
        if (type == kHostNameEntry) {
            return entry.bytes.size() == entry.size && takeName(entry.bytes, name);
        }
    }
    return false;
}

}  // namespace

bool serverNameFromHello(std::string_view hello, std::string& name) {
    name.clear();
    std::array<char, kMostNameBytes> buffer;
    Block all;
    if (!extensions(handshakeBytes(hello.substr(0, kMostNameBytes), buffer), all)) {
        return false;
    }
    while (!all.done()) {
        std::size_t type = 0;
        Block extension;
        if (!all.read(2, type) || !all.sub(2, extension)) {
            return false;
        }
        if (type == kServerNameExtension) {
            return hostName(extension, name);
        }
    }
    return false;
}

}  // namespace tessel::core
