#pragma once

#include <cstddef>

// Fresh memory costs one page fault for each 4 KiB the program first touches. Where a fault is
// slow (under some hypervisors each takes microseconds), a list of a million names spends more
// time faulting in its buffers than working on them; 2 MiB pages, where the kernel hands them
// out on request, take a five-hundredth of the faults.
namespace tessel::platform {

// Asks for huge pages over the whole 2 MiB pages inside the buffer. Only advice: nothing fails.
void preferHugePages(void* buffer, std::size_t size);

}  // namespace tessel::platform
