#pragma once

#include <array>
#include <optional>
#include <string>

#include "core/HelperProtocol.h"
#include "helper/ConfinedFiles.h"
#include "helper/Hygiene.h"
#include "hosts/HostsFile.h"

namespace tessel::helper {

// The helper's side of the link: answers `tessel`'s requests one at a time on `socket` and,
// when the link ends for any reason, gives the HOSTS file back. A helper that must not serve
// (`refusal`) answers the first request with why, and touches nothing.
class Server final {
public:
    Server(int socket, platform::FileSystem& files, std::optional<Refusal> refusal = {});
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    ~Server();

    // Serves until the link closes, breaks or carries a message it refuses; then gives back.
    void serve();

private:
    bool answer(const std::string& body);
    core::Reply handle(core::Request& request, int& socket);
    core::Reply hostsRequest(core::Request& request);
    bool greet();
    core::Reply listen(std::uint16_t port, int& socket);
    void giveBack();

    // Both ports are bound once, at the greeting, and the right to bind dropped; each Listen
    // hands out the same socket listening again (a pause stops it from `tessel`'s side).
    struct Port final {
        int socket = -1;
        int error = 0;
    };

    int socket_;
    std::optional<Refusal> refusal_;
    ConfinedFiles files_;
    hosts::HostsFile hosts_;
    core::Session session_;
    std::optional<bool> writtenKeep_;  // the mode of a HOSTS file written and not given back
    std::array<Port, 2> ports_;        // 80, 443
};

}  // namespace tessel::helper
