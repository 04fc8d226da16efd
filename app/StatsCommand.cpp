#include "app/StatsCommand.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "app/CommandLine.h"
#include "core/ProgramPaths.h"
#include "core/Statistics.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/Privileges.h"

namespace tessel::app {

int printStatistics(int argc, char** /*argv*/) {
    if (argc != 2) {
        std::fputs("usage: tessel --stats\n", stderr);
        return 2;
    }
    const std::string directory = platform::programDirectory();
    // Only read: the user's directory is named, not made, when it is not there yet.
    const core::ProgramPaths paths{directory, platform::userFilesOf(directory)};
    platform::PosixFileSystem files;
    const auto read = files.readRegularFile(paths.stats(), core::kMostStatsBytes);
    if (read.missing) {
        return 0;
    }
    if (!read.ok()) {
        return fail(paths.stats() + ": " + read.status.error());
    }
    auto statistics = core::Statistics::parse(read.bytes);
    if (!statistics) {
        return fail(paths.stats() + ": damaged");
    }
    // As the program would show it: a file written by hand may hold more than is kept.
    statistics->trim(std::time(nullptr));
    const std::string lines = statistics->countLines();
    return writeOut(core::Pieces::of(lines)) ? 0 : fail("standard output: cannot be written");
}

}  // namespace tessel::app
