#include "platform/linux/HelperProcess.h"

#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/linux/Frames.h"

namespace tessel::platform {
namespace {

// The child's own end becomes its standard input; every other descriptor of this process is
// close-on-exec and stays behind. It gets no environment: nothing of this process's settings
// reaches the one that holds the privileges.
int spawnHelper(const std::string& program, int childEnd, pid_t& pid) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childEnd, STDIN_FILENO);
    char* const arguments[] = {const_cast<char*>(program.c_str()), nullptr};
    char* const environment[] = {nullptr};
    const int result =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments, environment);
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

}  // namespace

HelperStart HelperProcess::start(const std::string& program) {
    HelperStart started;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        started.error = std::strerror(errno);
        return started;
    }
    pid_t pid = 0;
    const int spawned = spawnHelper(program, ends[1], pid);
    ::close(ends[1]);
    std::unique_ptr<HelperProcess> link(new HelperProcess(ends[0]));
    if (spawned != 0) {
        started.error = program + ": " + std::strerror(spawned);
        return started;
    }
    const core::Reply hello = link->call(core::Request::hello());
    if (hello.ok()) {
        started.link = std::move(link);
    } else if (hello.failure != core::Failure::LinkLost) {
        started.refusal = hello;  // it ran, and said why it will not serve
    } else {
        started.error = hello.text;
    }
    return started;
}

HelperProcess::~HelperProcess() {
    ::close(socket_);
}

core::Reply HelperProcess::call(const core::Request& request, int* socket) {
    int received = -1;
    std::optional<core::Reply> reply;
    std::string why = "it ended";
    if (sendFrame(socket_, core::encode(request))) {
        if (const auto body = receiveFrame(socket_, &received)) {
            reply = core::parseReply(*body, &why);
        }
    }
    if (!reply) {
        reply = core::Reply{core::Failure::LinkLost, 0, 0, "Error talking to tessel-helper: "};
        reply->text.append(why);
    }
    if (socket != nullptr && reply->ok()) {
        *socket = received;
    } else if (received >= 0) {
        ::close(received);
    }
    return *reply;
}

}  // namespace tessel::platform
