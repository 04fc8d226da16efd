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
#include "platform/linux/LoopbackSocket.h"

namespace tessel::helper {
namespace {

Reply failure(std::string text, bool ends = false) {
    return Reply{false, false, ends, 0, std::move(text)};
}

// The server list as badHosts.dat holds it, and the subscribed names as the merge gives them.
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
    char name[HOST_NAME_MAX + 1] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

void Server::Requests::endProgram() {
    throw Ended{};
}

Server::Server(int socket, platform::FileSystem& files)
    : socket_(socket),
      files_(files, kSystemHostsPath, kHelperSavedHostsPath),
      hosts_(messages_, files_, requests_, {}) {
    hosts_.keepSavedCopyAt(kHelperSavedHostsPath);
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
    const bool sent = platform::sendFrame(socket_, encode(reply), socket);
    if (socket >= 0) {
        ::close(socket);  // `tessel` holds its own copy now
    }
    return sent;
}

Reply Server::handle(const Request& request, int& socket) {
    if (request.kind != Kind::Listen) {
        return hostsRequest(request);
    }
    int error = 0;
    socket = platform::listenOnLoopback(request.port, error);
    if (socket < 0) {
        Reply reply = failure(std::strerror(error));
        reply.number = error;
        return reply;
    }
    return {};
}

// HostsFile's own rules and messages, with the failure it would show sent back instead.
Reply Server::hostsRequest(const Request& request) {
    messages_ = {};
    bool done = true;
    try {
        if (request.kind == Kind::Hello) {
            files_.removeLeftovers(parentDirectory(kSystemHostsPath));
            hosts_.giveBackLeftCopy();
        } else if (request.kind == Kind::Write) {
            done = hosts_.writeList(kSystemHostsPath, request.keep, joined(request.names, "\r\n"),
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
    return {};
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
