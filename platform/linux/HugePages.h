#pragma once

#include <cstddef>

// Fresh memory costs one page fault for each 4 KiB the program first touches. Where a fault is
// slow (under some hypervisors each takes microseconds), a list of a million names spends more
// time faulting in its buffers than working on them; 2 MiB pages, where the kernel hands them
// out on request, take a five-hundredth of the faults.
namespace tessel::platform {

// Asks for huge pages over the whole 2 MiB pages inside the buffer. Only advice: nothing fails.
void preferHugePages(void* buffer, std::size_t size);

// Restarts the program, once, with the C library's allocator asking for huge pages for its big
// blocks, which include Qt's own text buffers. Call first thing in main; returns when the
// allocator already asks, when the setting is refused, or when the restart cannot be made.
void useHugePagesForHeap(char** argv);

}  // namespace tessel::platform
