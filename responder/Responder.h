#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/RedirectListener.h"

namespace tessel::responder {

struct Ports final {
    std::uint16_t http = 80;
    // Browsers fetch most ads over TLS; those connections are only counted and closed.
    std::uint16_t https = 443;
};

// Owns the ports: answers every connection with the reply for the current picture and reports
// the connections served. The reply is built once per chosen picture, never per connection.
class Responder final {
public:
    Responder(platform::RedirectListener& listener, platform::FileSystem& files, Ports ports,
              platform::RedirectListener::Served blocked);
    // Callbacks hand out this object: it never moves.
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    // Reads the picture and prepares the reply that the next connection gets.
    void usePicture(const std::string& picturePath);
    // Nothing once the HTTP port listens; otherwise why it does not, for the caller to tell. The
    // HTTPS port is opened as well where it can be: without it ads over TLS are still blocked,
    // just not counted.
    [[nodiscard]] std::optional<platform::ListenError> startListening();
    // Closes both ports and every connection not yet counted.
    void close();
    bool isListening() const;

private:
    platform::RedirectListener& listener_;
    platform::FileSystem& files_;
    Ports ports_;
};

}  // namespace tessel::responder
