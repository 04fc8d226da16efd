#include "platform/linux/HugePages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tessel::platform {
namespace {

constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr std::string_view kHugeHeap = "glibc.malloc.hugetlb=1";

}  // namespace

void preferHugePages(void* buffer, std::size_t size) {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(buffer);
    const std::uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + size) & ~(kHugePage - 1);
    if (end > begin) {
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
}

void useHugePagesForHeap(char** argv) {
    // The allocator reads its settings only as a process starts. A choice the user made stands
    // either way, and the setting marks the restarted program, so there is never a second.
    const char* current = std::getenv(kTunables);
    if (current != nullptr &&
        std::string_view(current).find("glibc.malloc.hugetlb") != std::string_view::npos) {
        return;
    }
    std::string tunables(kHugeHeap);
    if (current != nullptr && *current != '\0') {
        tunables = std::string(current) + ":" + tunables;
    }
    // The program's own path, not /proc/self/exe: the process takes its name from the path it
    // is started by, and `pgrep tessel` or `killall tessel` must still find it.
    std::string self(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= self.size()) {
        return;
    }
    self.resize(static_cast<std::size_t>(length));
    if (::setenv(kTunables, tunables.c_str(), 1) == 0) {
        ::execv(self.c_str(), argv);
    }
}

}  // namespace tessel::platform
