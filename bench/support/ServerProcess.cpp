#include "bench/support/ServerProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tessel::bench {

ServerProcess::ServerProcess(const std::function<void(int readyFd)>& serve) {
    int ready[2] = {-1, -1};
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(ready[0]);
        serve(ready[1]);
        ::_exit(0);
    }
    ::close(ready[1]);
    pollfd waiting{ready[0], POLLIN, 0};
    std::uint16_t port = 0;
    if (pid_ > 0 && ::poll(&waiting, 1, 10'000) == 1 &&
        ::read(ready[0], &port, sizeof port) == static_cast<ssize_t>(sizeof port)) {
        port_ = port;
    }
    ::close(ready[0]);
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

long residentKb(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    std::FILE* file = std::fopen(path, "re");
    if (file == nullptr) {
        return -1;
    }
    long kb = -1;
    char line[256];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kb = std::strtol(line + 6, nullptr, 10);
            break;
        }
    }
    std::fclose(file);
    return kb;
}

std::uint64_t cpuNs(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/task", static_cast<int>(pid));
    DIR* tasks = ::opendir(path);
    if (tasks == nullptr) {
        return 0;
    }
    std::uint64_t total = 0;
    while (const dirent* task = ::readdir(tasks)) {
        if (task->d_name[0] == '.') {
            continue;
        }
        const std::string statPath = std::string(path) + '/' + task->d_name + "/schedstat";
        if (std::FILE* file = std::fopen(statPath.c_str(), "re")) {
            unsigned long long onCpu = 0;
            if (std::fscanf(file, "%llu", &onCpu) == 1) {
                total += onCpu;
            }
            std::fclose(file);
        }
    }
    ::closedir(tasks);
    return total;
}

}  // namespace tessel::bench
