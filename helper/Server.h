#pragma once

#include <optional>
#include <string>

#include "core/HelperProtocol.h"
#include "helper/ConfinedFiles.h"
#include "hosts/HostsFile.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace tessel::helper {

// The helper's side of the link: answers `tessel`'s requests one at a time on `socket` and,
// when the link ends for any reason, gives the HOSTS file back.
class Server final {
public:
    Server(int socket, platform::FileSystem& files);
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Serves until the link closes, breaks or carries a message it refuses; then gives back.
    void serve();

private:
    // The messages HostsFile would show: kept for the reply instead.
    class Messages final : public platform::MessageBox {
    public:
        platform::Answer show(const std::string& prompt, platform::Buttons buttons,
                              platform::Icon icon, const std::string& title) override;
        std::string text;
        bool asks = false;
    };
    // HostsFile's end of the program is the end of one request: `tessel` ends after the message.
    class Requests final : public platform::Process {
    public:
        std::string programDirectory() const override { return {}; }
        std::string hostName() const override;
        void processEvents() override {}
        void repeat(std::chrono::milliseconds, std::function<bool()>) override {}
        [[noreturn]] void endProgram() override;
    };
    struct Ended final {};

    bool answer(const std::string& body);
    Reply handle(const Request& request, int& socket);
    Reply hostsRequest(const Request& request);
    void giveBack();

    int socket_;
    ConfinedFiles files_;
    Messages messages_;
    Requests requests_;
    hosts::HostsFile hosts_;
    Session session_;
    std::optional<bool> writtenKeep_;  // the mode of a HOSTS file written and not given back
};

}  // namespace tessel::helper
