// One write through the program's own file writer, for FaultTest to trace, kill and fail:
//
//     tessel_fault_writer FILE BYTES   writes the bytes of the file BYTES to FILE
//     tessel_fault_writer FILE         removes FILE
//     tessel_fault_writer --finish FILE  what a start does first: finishes FILE's cut rewrite
//
// With TESSEL_UNNAMED_ONLY set, it writes as the helper does: never through a named temporary.
// The bytes go out in pieces of 4 KiB, one write() each, so a kill can land inside the data. A
// failure is reported on the standard output with the system's description.

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "fault/Fault.h"
#include "platform/linux/PosixFileSystem.h"

int main(int argc, char** argv) {
    tessel::platform::PosixFileSystem files(std::getenv("TESSEL_UNNAMED_ONLY") != nullptr
                                                ? tessel::platform::Temporaries::UnnamedOnly
                                                : tessel::platform::Temporaries::Named);
    if (argc == 3 && std::string_view(argv[1]) == "--finish") {
        files.removeLeftoversOf(argv[2], std::nullopt);
        return 0;
    }
    const auto read = files.readFile(argc == 3 ? argv[2] : "/dev/null");
    if (argc < 2 || argc > 3 || !read.ok()) {
        return 2;
    }
    const auto status = argc == 2
                            ? files.removeFile(argv[1])
                            : files.writePieces(argv[1], tessel::fault::inPieces(read.bytes, 4096));
    if (!status.ok()) {
        std::puts(status.error().c_str());
    }
    return status.ok() ? 0 : 1;
}
