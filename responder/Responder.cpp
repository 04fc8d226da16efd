#include "responder/Responder.h"

#include <optional>

#include "core/Reply.h"

namespace tessel::responder {

Responder::Responder(platform::RedirectListener& listener, platform::FileSystem& files, Ports ports,
                     platform::RedirectListener::Served blocked)
    : listener_(listener), files_(files), ports_(ports) {
    listener_.onServed(std::move(blocked));
    listener_.setReply(core::buildReply(""));
}

void Responder::usePicture(const std::string& picturePath) {
    // A FIFO or a device chosen as the picture would hang the read or fill memory: only a
    // regular file that may still be sent is read, and anything else gets the redirect.
    const platform::ReadResult read = files_.readRegularFile(picturePath, core::kMaxPictureBytes);
    listener_.setReply(core::buildPictureReply(
        picturePath, read.ok() ? std::optional<std::string_view>(read.bytes) : std::nullopt));
}

std::optional<platform::ListenError> Responder::startListening() {
    if (listener_.isListening()) {
        listener_.close();
    }
    auto error = listener_.listen(ports_.http);
    if (!error) {
        // Taken by another program or not allowed: either way there is nothing to tell the user.
        static_cast<void>(listener_.listenCountOnly(ports_.https));
    }
    return error;
}

void Responder::close() {
    listener_.close();
}

bool Responder::isListening() const {
    return listener_.isListening();
}

}  // namespace tessel::responder
