#include "platform/linux/HugePages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tessel::platform {
namespace {

constexpr std::string_view kTunables = "GLIBC_TUNABLES";
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
    const char* current = std::getenv(std::string(kTunables).c_str());
    if (current != nullptr &&
        std::string_view(current).find("glibc.malloc.hugetlb") != std::string_view::npos) {
        return;
    }
    std::string tunables(kHugeHeap);
    if (current != nullptr && *current != '\0') {
        tunables = std::string(current) + ":" + tunables;
    }
    if (::setenv(std::string(kTunables).c_str(), tunables.c_str(), 1) == 0) {
        ::execv("/proc/self/exe", argv);
    }
}

}  // namespace tessel::platform
