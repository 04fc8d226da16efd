#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Listener.h"
#include "platform/MessageBox.h"

namespace tessel::responder {

// Owns the port: answers every connection with the reply for the current picture and reports each
// connection served. The reply is rebuilt only when the picture changes.
class Responder final {
public:
    struct Hooks {
        std::function<const std::string&()> picturePath;
        std::function<void()> blocked;
    };

    Responder(platform::RedirectListener& listener, platform::MessageBox& box, std::uint16_t port,
              Hooks hooks);

    // Returns once the port listens; false after a failure, which it reports.
    [[nodiscard]] bool startListening();
    // Closes the listener and every connection not yet counted.
    void close();
    bool isListening() const;

private:
    std::string_view reply();

    platform::RedirectListener& listener_;
    platform::MessageBox& box_;
    std::uint16_t port_;
    Hooks hooks_;
    std::string replyPath_;
    std::string reply_;
    bool built_ = false;
};

}  // namespace tessel::responder
