// Writes two large contents to one file in turn, through the program's own file writer, until it is
// killed (or a bound of writes or seconds is reached). SigkillWriteTest kills it at random moments.
//
//     tessel_fault_writer FILE FIRST SECOND
//
// FIRST and SECOND hold the two contents; reading them is quicker than making them, so the writer
// is writing soon after it starts, in a sanitizer build too.

#include <chrono>
#include <cstdio>

#include "platform/linux/PosixFileSystem.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: tessel_fault_writer FILE FIRST SECOND\n");
        return 2;
    }
    tessel::platform::PosixFileSystem files;
    const auto first = files.readFile(argv[2]);
    const auto second = files.readFile(argv[3]);
    if (!first.ok() || !second.ok()) {
        std::fprintf(stderr, "cannot read the contents\n");
        return 2;
    }
    const std::string& a = first.bytes;
    const std::string& b = second.bytes;
    // Ready: the contents are in memory and the writes begin now; the kills are timed from here.
    std::fputc('r', stdout);
    std::fflush(stdout);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int i = 0; i < 10'000 && std::chrono::steady_clock::now() < until; ++i) {
        const auto status = files.writeFile(argv[1], i % 2 == 0 ? b : a);
        if (!status.ok()) {
            std::fprintf(stderr, "write failed: %s\n", status.error().c_str());
            return 1;
        }
    }
    return 0;
}
