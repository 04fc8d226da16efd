#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/HostsOutcome.h"
#include "core/HostsText.h"
#include "core/Lines.h"
#include "core/Names.h"

// The messages between `tessel`, run as the desktop user, and `tessel-helper`, which holds the
// only privileges: opening the low ports and writing /etc/hosts. Each message is a frame: its
// body's length (four bytes, most significant first), then the body, whose first byte says what
// it is. Everything is bounded and checked, because the helper must treat whatever arrives as
// hostile: no message can make it write anything but entry lines pointing at this machine.
namespace tessel::core {

inline constexpr std::uint16_t kVersion = 4;
inline constexpr std::size_t kFrameHeaderSize = 4;
inline constexpr std::size_t kMaxBodySize = std::size_t{128} << 20;
// Each group of a write: the server list, and the subscribed lists of up to two million names.
inline constexpr std::size_t kMaxNames = std::size_t{1} << 21;
inline constexpr std::size_t kMaxNameLength = kLongestName;
// The longest server-list line the helper writes: its entry line stays within the bound some
// resolvers read a line in, so no part of a longer one can be read as a line of its own. A longer
// one is left out.
inline constexpr std::size_t kMaxLineLength = kMostLineBytes - kEntryPrefix.size() - kCrLf.size();
inline constexpr std::size_t kMaxTextLength = 4096;
// The only ports the helper opens: the replying one and the count-only one.
inline constexpr std::uint16_t kHttpPort = 80;
inline constexpr std::uint16_t kHttpsPort = 443;

enum class Kind : std::uint8_t {
    Hello = 1,  // the version; the helper first gives back what a killed run left
    Listen,     // a socket listening on 127.0.0.1:port, handed over with the reply
    Write,      // /etc/hosts pointing the names at this machine, kept or replaced
    GiveBack,   // /etc/hosts as it was before
};

struct Request final {
    Kind kind = Kind::Hello;
    std::uint16_t version = kVersion;  // Hello
    std::uint16_t port = 0;            // Listen
    bool keep = false;                 // Write, GiveBack: keep mode rather than replace mode
    std::vector<std::string> lines;    // Write: the server list's lines, one to an entry line
    std::vector<std::string> grouped;  // Write: the subscribed lists' names, several to a line

    static Request hello() { return {Kind::Hello, kVersion, 0, false, {}, {}}; }
    static Request listen(std::uint16_t port) {
        return {Kind::Listen, kVersion, port, false, {}, {}};
    }
    static Request write(bool keep, std::vector<std::string> lines,
                         std::vector<std::string> grouped = {}) {
        return {Kind::Write, kVersion, 0, keep, std::move(lines), std::move(grouped)};
    }
    static Request giveBack(bool keep) { return {Kind::GiveBack, kVersion, 0, keep, {}, {}}; }

    bool operator==(const Request&) const = default;
};

// What came of a request: `tessel` decides what to tell the user and whether to go on.
struct Reply final {
    Failure failure = Failure::None;
    std::int32_t number = 0;    // the system's error number of a failed request
    std::uint32_t skipped = 0;  // Write: lines and names left out as unsafe (see keepSafeLines)
    std::string text;           // the system's description of a failure, or why it was refused

    bool ok() const { return failure == Failure::None; }
    bool operator==(const Reply&) const = default;
};

// A name made only of letters, digits, '-', '_' and '.', of 1 to kMaxNameLength bytes.
bool isHostName(std::string_view name);
// A server-list line the helper writes as it is: no CR, LF or NUL that could end an entry line
// early or hide the rest of the file from a resolver, and at most kMaxLineLength bytes.
bool isSafeLine(std::string_view line);
// Leaves only the safe lines of the server list and the host names of the subscribed lists, in
// their order; returns how many were left out.
std::size_t keepSafeLines(std::vector<std::string>& lines, std::vector<std::string>& grouped);

// The frame around a body.
std::string frame(std::string_view body);
// The body length a frame header announces; nothing when it is no header or out of bounds.
std::optional<std::size_t> bodySize(std::string_view header);

// The bodies. Encoding trusts its input; parsing trusts nothing and gives nothing for a body
// that is malformed, truncated, oversized or has bytes left over, with the reason in `why`. What
// the lines of a write hold is judged apart (keepSafeLines), so one bad line costs only itself.
std::string encode(const Request& request);
std::string encode(const Reply& reply);
std::optional<Request> parseRequest(std::string_view body, std::string* why = nullptr);
std::optional<Reply> parseReply(std::string_view body, std::string* why = nullptr);

// The order the helper accepts requests in: one Hello of this version first, then any others.
class Session final {
public:
    // Nothing when the request may come now; otherwise why it may not.
    std::optional<std::string> admit(const Request& request);

private:
    bool greeted_ = false;
};

}  // namespace tessel::core
