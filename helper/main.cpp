// tessel-helper: holds the only privileges Tessel needs (binding ports 80 and 443, writing
// /etc/hosts) so that the program itself runs as the desktop user. `tessel` starts it as its child,
// with one end of a socket pair as its standard input, and it serves that socket until it closes.
#include <algorithm>
#include <csignal>
#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "core/ProgramPaths.h"
#include "helper/Hygiene.h"
#include "helper/Server.h"
#include "platform/linux/PosixFileSystem.h"

namespace {

void onTerminate(int) {}

// Ctrl+C and a hang-up reach the whole process group: `tessel` handles them and then gives the
// file back through this process, which must still be here. A termination request sent to the
// helper itself interrupts its wait, and it gives the file back and ends.
void setUpSignals() {
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction terminate {};
    terminate.sa_handler = onTerminate;
    sigemptyset(&terminate.sa_mask);
    terminate.sa_flags = 0;  // no restart: the wait for the next message ends
    sigaction(SIGTERM, &terminate, nullptr);
}

// Mode 0750 and the group keep everyone else from running the helper; where a system lets them
// anyway, the helper itself serves only root and the members of its file's group.
bool runByItsGroup() {
    struct stat self {};
    if (::stat("/proc/self/exe", &self) != 0) {
        return false;
    }
    if (::getuid() == 0 || ::getgid() == self.st_gid) {
        return true;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(static_cast<std::size_t>(std::max(count, 0)));
    return std::find(groups.begin(), groups.end(), self.st_gid) != groups.end();
}

}  // namespace

int main() {
    // Before anything else: until then, what the caller handed over is still in force.
    auto refusal = tessel::helper::settleInheritance();
    if (!runByItsGroup()) {
        std::fputs("tessel-helper: Permission denied: only root and its group may run it.\n",
                   stderr);
        return 126;
    }
    struct stat input {};
    if (::fstat(0, &input) != 0 || !S_ISSOCK(input.st_mode)) {
        std::fputs("tessel-helper is started by tessel, not on its own.\n", stderr);
        return 2;
    }
    setUpSignals();
    if (!refusal) {
        // Before any file is touched: the leftovers it clears up at the greeting are then a
        // killed run's, never a live one's.
        refusal = tessel::helper::lockForLife(tessel::core::kHelperLockPath);
    }
    // A file named in /etc while still the user's could be opened by the user and written later.
    tessel::platform::PosixFileSystem files(tessel::platform::Temporaries::UnnamedOnly);
    tessel::helper::Server(0, files, std::move(refusal)).serve();
    return 0;
}
