#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include "fault/Fault.h"

namespace tessel::fault {
bool privateMounts = false;
}  // namespace tessel::fault

// The mount namespace is entered here, before anything could start a thread: unshare refuses a
// new one to a process whose threads share its file system context. Mounts made by the tests are
// then the process's own and vanish with it, even when a test fails half-way.
int main(int argc, char** argv) {
    if (::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) {
        tessel::fault::privateMounts = true;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
