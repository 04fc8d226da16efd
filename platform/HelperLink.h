#pragma once

#include "core/HelperProtocol.h"

namespace tessel::platform {

// The channel to `tessel-helper`, the child that holds the privileges this process lacks.
class HelperLink {
public:
    virtual ~HelperLink() = default;
    // Sends one request and waits for its reply. A Listen reply that is ok carries the listening
    // socket, which goes to `socket` (the caller owns it). A link that broke gives a LinkLost
    // reply that says so.
    virtual core::Reply call(const core::Request& request, int* socket = nullptr) = 0;
};

}  // namespace tessel::platform
