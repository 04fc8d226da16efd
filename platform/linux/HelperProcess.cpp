#include "platform/linux/HelperProcess.h"

#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/linux/Frames.h"

extern char** environ;

namespace tessel::platform {
namespace {

// The child's own end becomes its standard input; every other descriptor of this process is
// close-on-exec and stays behind.
int spawnHelper(const std::string& program, int childEnd, pid_t& pid) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childEnd, STDIN_FILENO);
    char* const arguments[] = {const_cast<char*>(program.c_str()), nullptr};
    const int result = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

}  // namespace

std::unique_ptr<HelperProcess> HelperProcess::start(const std::string& program,
                                                    std::string& error) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    pid_t pid = 0;
    const int spawned = spawnHelper(program, ends[1], pid);
    ::close(ends[1]);
    std::unique_ptr<HelperProcess> link(new HelperProcess(ends[0]));
    if (spawned != 0) {
        error = program + ": " + std::strerror(spawned);
        return nullptr;
    }
    const helper::Reply hello = link->call(helper::Request::hello());
    if (!hello.ok) {
        error = hello.text;
        return nullptr;
    }
    return link;
}

HelperProcess::~HelperProcess() {
    ::close(socket_);
}

helper::Reply HelperProcess::call(const helper::Request& request, int* socket) {
    int received = -1;
    std::optional<helper::Reply> reply;
    std::string why = "it ended";
    if (sendFrame(socket_, helper::encode(request))) {
        if (const auto body = receiveFrame(socket_, &received)) {
            reply = helper::parseReply(*body, &why);
        }
    }
    if (!reply) {
        reply = helper::Reply{false, false, true, 0, "Error talking to tessel-helper: " + why};
    }
    if (socket != nullptr && reply->ok) {
        *socket = received;
    } else if (received >= 0) {
        ::close(received);
    }
    return *reply;
}

}  // namespace tessel::platform
