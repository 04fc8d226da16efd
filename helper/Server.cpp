#include "helper/Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "core/ProgramPaths.h"
#include "platform/linux/Frames.h"
#include "platform/linux/HostName.h"
#include "platform/linux/LoopbackSocket.h"

namespace tessel::helper {
namespace {

core::Reply refused(std::string text, int number = 0) {
    return core::Reply{core::Failure::Refused, number, 0, std::move(text)};
}

core::Reply replyOf(const core::Outcome& outcome) {
    return core::Reply{outcome.failure, outcome.number, outcome.skipped, outcome.error};
}

// The server list's lines with the line ends the root path's list has, and the subscribed names
// as the merge gives them: the same bytes reach the same writer.
std::string joined(const std::vector<std::string>& names, std::string_view end) {
    std::string list;
    for (const auto& name : names) {
        list.append(name).append(end);
    }
    return list;
}

}  // namespace

Server::Server(int socket, platform::FileSystem& files, std::optional<Refusal> refusal)
    : socket_(socket),
      refusal_(std::move(refusal)),
      files_(files, core::kSystemHostsPath, core::kHelperSavedHostsPath),
      hosts_(files_, {}, platform::hostName()) {
    hosts_.keepSavedCopyAt(core::kHelperSavedHostsPath);
}

Server::~Server() {
    for (const Port& port : ports_) {
        if (port.socket >= 0) {
            ::close(port.socket);
        }
    }
}

void Server::serve() {
    while (const auto body = platform::receiveFrame(socket_)) {
        if (!answer(*body)) {
            break;
        }
    }
    giveBack();
}

// False after a message that is refused: what sent it is not to be trusted with more.
bool Server::answer(const std::string& body) {
    if (refusal_) {
        (void)platform::sendFrame(
            socket_, core::encode(refused("tessel-helper refused to run: " + refusal_->text,
                                          refusal_->number)));
        return false;
    }
    std::string why;
    auto request = core::parseRequest(body, &why);
    if (request) {
        if (auto refusal = session_.admit(*request)) {
            why = *refusal;
            request.reset();
        }
    }
    if (!request) {
        (void)platform::sendFrame(socket_, core::encode(refused("tessel-helper refused " + why)));
        return false;
    }
    int socket = -1;
    const core::Reply reply = handle(*request, socket);
    return platform::sendFrame(socket_, core::encode(reply), socket);
}

core::Reply Server::handle(core::Request& request, int& socket) {
    if (request.kind == core::Kind::Listen) {
        return listen(request.port, socket);
    }
    if (request.kind == core::Kind::Hello && !greet()) {
        return refused("tessel-helper cannot finish a rewrite of " +
                           std::string(core::kSystemHostsPath) +
                           " that was cut short; it is kept for the next start",
                       EIO);
    }
    return hostsRequest(request);
}

// Only under the lock this process holds for its whole life (see main), so what it finds is a
// killed run's, never a live one's.
bool Server::greet() {
    // A file torn by a cut rewrite is not the user's own: nothing may be given back over it.
    if (!files_.removeLeftoversOf(core::kSystemHostsPath, 0)) {
        return false;
    }
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        ports_[i].socket = platform::listenOnLoopback(i == 0 ? core::kHttpPort : core::kHttpsPort,
                                                      ports_[i].error);
    }
    dropBindRight();
    return true;
}

core::Reply Server::listen(std::uint16_t port, int& socket) {
    const Port& bound = ports_[port == core::kHttpPort ? 0 : 1];
    int error = bound.error;
    if (bound.socket >= 0 && ::listen(bound.socket, SOMAXCONN) == 0) {
        socket = bound.socket;  // sent as a copy; this one stays for the next Resume
        return {};
    }
    if (bound.socket >= 0) {
        error = errno;
    }
    return core::Reply{core::Failure::CannotListen, error, 0, std::strerror(error)};
}

// HostsFile's own rules, with what came of them sent back.
core::Reply Server::hostsRequest(core::Request& request) {
    if (request.kind == core::Kind::Hello) {
        return replyOf(hosts_.giveBackLeftCopy());
    }
    if (request.kind == core::Kind::GiveBack) {
        writtenKeep_.reset();
        return replyOf(hosts_.giveBackHostsFile(core::kSystemHostsPath, request.keep));
    }
    const auto skipped =
        static_cast<std::uint32_t>(core::keepSafeLines(request.lines, request.grouped));
    auto outcome = hosts_.writeList(core::kSystemHostsPath, request.keep,
                                    joined(request.lines, "\r\n"), joined(request.grouped, "\n"));
    writtenKeep_ = request.keep;
    outcome.skipped = skipped;
    return replyOf(outcome);
}

// Nobody is left to tell of a failure: the kept copy stays for the next start.
void Server::giveBack() {
    if (writtenKeep_) {
        (void)hosts_.giveBackHostsFile(core::kSystemHostsPath, *writtenKeep_);
    }
}

}  // namespace tessel::helper
