#include "app/HelperSockets.h"

namespace tessel::app {

platform::EpollListener::Source socketsFromHelper(platform::HelperLink& helper) {
    return [&helper](std::uint16_t port) {
        int socket = -1;
        const auto reply = helper.call(core::Request::listen(port), &socket);
        std::variant<int, platform::ListenError> result = socket;
        if (!reply.ok() || socket < 0) {
            const bool gone = reply.failure != core::Failure::CannotListen;
            result =
                platform::ListenError{platform::listenErrorNumber(reply.number), reply.text, gone};
        }
        return result;
    };
}

}  // namespace tessel::app
