// The helper's message parser on any bytes: nothing crashes, and whatever it takes is the one
// encoding of a message within every bound, naming only host names and the two ports, so no body
// can carry anything else into /etc/hosts. The same for replies and frame headers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/HelperProtocol.h"
#include "fuzz/Check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    namespace helper = tessel::helper;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    if (const auto request = helper::parseRequest(body)) {
        TESSEL_CHECK(helper::encode(*request) == body);
        TESSEL_CHECK(request->names.size() <= helper::kMaxNames);
        TESSEL_CHECK(std::all_of(request->names.begin(), request->names.end(),
                                 [](const auto& name) { return helper::isHostName(name); }));
        TESSEL_CHECK(request->kind != helper::Kind::Listen || request->port == helper::kHttpPort ||
                     request->port == helper::kHttpsPort);
    }
    if (const auto reply = helper::parseReply(body)) {
        TESSEL_CHECK(helper::encode(*reply) == body);
        TESSEL_CHECK(reply->text.size() <= helper::kMaxTextLength);
    }
    if (const auto announced = helper::bodySize(body.substr(0, helper::kFrameHeaderSize))) {
        TESSEL_CHECK(*announced > 0 && *announced <= helper::kMaxBodySize);
    }
    return 0;
}
