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

Reply failure(std::string text, bool ends = false, int number = 0) {
    return Reply{false, false, ends, number, 0, std::move(text)};
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

platform::Answer Server::Messages::show(const std::string& prompt, platform::Buttons buttons,
                                        platform::Icon, const std::string&) {
    text = prompt;
    asks = buttons == platform::Buttons::YesNo;
    // The question is put to the user by `tessel`, which acts on the answer itself.
    return asks ? platform::Answer::No : platform::Answer::Ok;
}

std::string Server::Requests::hostName() const {
    return platform::hostName();
}

void Server::Requests::endProgram() {
    throw Ended{};
}

Server::Server(int socket, platform::FileSystem& files, std::optional<Refusal> refusal)
    : socket_(socket),
      refusal_(std::move(refusal)),
      files_(files, kSystemHostsPath, kHelperSavedHostsPath),
      hosts_(messages_, files_, requests_, {}) {
    hosts_.keepSavedCopyAt(kHelperSavedHostsPath);
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
            socket_, encode(failure("tessel-helper refused to run: " + refusal_->text, true,
                                    refusal_->number)));
        return false;
    }
    std::string why;
    auto request = parseRequest(body, &why);
    if (request) {
        if (auto refusal = session_.admit(*request)) {
            why = *refusal;
            request.reset();
        }
    }
    if (!request) {
        (void)platform::sendFrame(socket_, encode(failure("tessel-helper refused " + why, true)));
        return false;
    }
    int socket = -1;
    const Reply reply = handle(*request, socket);
    return platform::sendFrame(socket_, encode(reply), socket);
}

Reply Server::handle(Request& request, int& socket) {
    if (request.kind == Kind::Listen) {
        return listen(request.port, socket);
    }
    if (request.kind == Kind::Hello && !greet()) {
        return failure("tessel-helper cannot finish a rewrite of " + std::string(kSystemHostsPath) +
                           " that was cut short; it is kept for the next start",
                       true, EIO);
    }
    return hostsRequest(request);
}

// Only under the lock this process holds for its whole life (see main), so what it finds is a
// killed run's, never a live one's.
bool Server::greet() {
    // A file torn by a cut rewrite is not the user's own: nothing may be given back over it.
    if (!files_.removeLeftoversOf(kSystemHostsPath, 0)) {
        return false;
    }
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        ports_[i].socket =
            platform::listenOnLoopback(i == 0 ? kHttpPort : kHttpsPort, ports_[i].error);
    }
    dropBindRight();
    return true;
}

Reply Server::listen(std::uint16_t port, int& socket) {
    const Port& bound = ports_[port == kHttpPort ? 0 : 1];
    int error = bound.error;
    if (bound.socket >= 0 && ::listen(bound.socket, SOMAXCONN) == 0) {
        socket = bound.socket;  // sent as a copy; this one stays for the next Resume
        return {};
    }
    if (bound.socket >= 0) {
        error = errno;
    }
    return failure(std::strerror(error), false, error);
}

// HostsFile's own rules and messages, with the failure it would show sent back instead.
Reply Server::hostsRequest(Request& request) {
    messages_ = {};
    bool done = true;
    std::uint32_t skipped = 0;
    try {
        if (request.kind == Kind::Hello) {
            hosts_.giveBackLeftCopy();
        } else if (request.kind == Kind::Write) {
            skipped = static_cast<std::uint32_t>(keepSafeLines(request.lines, request.grouped));
            done = hosts_.writeList(kSystemHostsPath, request.keep, joined(request.lines, "\r\n"),
                                    joined(request.grouped, "\n"));
            writtenKeep_ = request.keep;
        } else {
            hosts_.giveBackHostsFile(kSystemHostsPath, request.keep);
            writtenKeep_.reset();
        }
    } catch (const Ended&) {
        return failure(messages_.text, true);
    }
    if (!done) {
        Reply reply = failure(messages_.text);
        reply.asks = messages_.asks;
        return reply;
    }
    Reply reply;
    reply.skipped = skipped;
    return reply;
}

void Server::giveBack() {
    if (!writtenKeep_) {
        return;
    }
    try {
        hosts_.giveBackHostsFile(kSystemHostsPath, *writtenKeep_);
    } catch (const Ended&) {
        // Nobody is left to tell: the kept copy stays for the next start.
    }
}

}  // namespace tessel::helper
