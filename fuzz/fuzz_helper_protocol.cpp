// The helper's message parser on any bytes: nothing crashes, whatever it takes is the one encoding
// of a message within every bound, and every field it decodes is checked: the kind, the version,
// the two ports, the server list's lines and the subscribed names. What the safe lines and names
// make in /etc/hosts is entry lines pointing at this machine and nothing else, whatever the body
// held. The same for replies and frame headers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/EntryLines.h"
#include "core/HelperProtocol.h"
#include "core/HostsText.h"
#include "fuzz/Check.h"

namespace {

namespace core = tessel::core;

std::string joined(const std::vector<std::string>& items, std::string_view end) {
    std::string text;
    for (const auto& item : items) {
        text.append(item).append(end);
    }
    return text;
}

// Every line of the entries is the prefix, then bytes without a line end or NUL, then CR LF.
void checkOnlyEntryLines(core::Request request) {
    const std::size_t before = request.lines.size() + request.grouped.size();
    const std::size_t skipped = core::keepSafeLines(request.lines, request.grouped);
    TESSEL_CHECK(skipped + request.lines.size() + request.grouped.size() == before);
    TESSEL_CHECK(std::all_of(request.grouped.begin(), request.grouped.end(),
                             [](const auto& name) { return core::isHostName(name); }));
    const std::string list = joined(request.lines, "\r\n");
    const std::string names = joined(request.grouped, "\n");
    const std::string text = tessel::core::withEntries({}, list, names).whole();
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        TESSEL_CHECK(end != std::string_view::npos && end > 0 && rest[end - 1] == '\r');
        const std::string_view line = rest.substr(0, end - 1);
        TESSEL_CHECK(line.starts_with(tessel::core::kEntryPrefix));
        TESSEL_CHECK(line.find_first_of(std::string_view("\r\0", 2)) == std::string_view::npos);
        rest.remove_prefix(end + 1);
    }
}

void checkRequest(std::string_view body) {
    const auto request = core::parseRequest(body);
    if (!request) {
        return;
    }
    TESSEL_CHECK(core::encode(*request) == body);
    TESSEL_CHECK(request->kind >= core::Kind::Hello && request->kind <= core::Kind::GiveBack);
    TESSEL_CHECK(request->lines.size() <= core::kMaxNames);
    TESSEL_CHECK(request->grouped.size() <= core::kMaxNames);
    TESSEL_CHECK(request->kind != core::Kind::Listen || request->port == core::kHttpPort ||
                 request->port == core::kHttpsPort);
    core::Session session;
    const bool admitted = !session.admit(*request);
    TESSEL_CHECK(admitted ==
                 (request->kind == core::Kind::Hello && request->version == core::kVersion));
    if (request->kind == core::Kind::Write) {
        checkOnlyEntryLines(*request);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    checkRequest(body);
    if (const auto reply = core::parseReply(body)) {
        TESSEL_CHECK(core::encode(*reply) == body);
        TESSEL_CHECK(reply->text.size() <= core::kMaxTextLength);
    }
    if (const auto announced = core::bodySize(body.substr(0, core::kFrameHeaderSize))) {
        TESSEL_CHECK(*announced > 0 && *announced <= core::kMaxBodySize);
    }
    return 0;
}
