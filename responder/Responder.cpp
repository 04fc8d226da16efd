#include "responder/Responder.h"

#include "responder/Reply.h"

namespace tessel::responder {

Responder::Responder(platform::RedirectListener& listener, platform::MessageBox& box,
                     std::uint16_t port, Hooks hooks)
    : listener_(listener), box_(box), port_(port), hooks_(std::move(hooks)) {
    listener_.setEvents({[this] { return reply(); }, [this] { hooks_.blocked(); }});
}

std::string_view Responder::reply() {
    const std::string& path = hooks_.picturePath();
    if (!built_ || path != replyPath_) {
        replyPath_ = path;
        reply_ = buildReply(path);
        built_ = true;
    }
    return reply_;
}

bool Responder::startListening() {
    if (listener_.isListening()) {
        listener_.close();
    }
    const auto error = listener_.listen(port_);
    if (!error) {
        return true;
    }
    if (error->number == platform::kAddressInUseNumber) {
        box_.show("Sorry, port 80 is being used by another application!", platform::Buttons::Ok,
                  platform::Icon::Exclamation, "Port Conflict");
    } else {
        box_.show("Error listening to WinSock: " + error->description);
    }
    return false;
}

void Responder::close() {
    listener_.close();
}

bool Responder::isListening() const {
    return listener_.isListening();
}

}  // namespace tessel::responder
