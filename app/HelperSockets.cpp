#include "app/HelperSockets.h"

namespace tessel::app {

platform::EpollListener::Source socketsFromHelper(platform::HelperLink& helper,
                                                  platform::MessageBox& box,
                                                  platform::Process& process) {
    return [&helper, &box, &process](std::uint16_t port) {
        int socket = -1;
        const auto reply = helper.call(helper::Request::listen(port), &socket);
        if (reply.ends) {
            // Nothing can be given back through a helper that is gone, but the user is told.
            box.show(reply.text + "\r\nExiting Tessel.");
            process.endProgram();
        }
        std::variant<int, platform::ListenError> result = socket;
        if (!reply.ok || socket < 0) {
            result = platform::ListenError{platform::listenErrorNumber(reply.number), reply.text};
        }
        return result;
    };
}

}  // namespace tessel::app
