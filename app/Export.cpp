#include "app/Export.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ListCopies.h"
#include "core/Export.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/Privileges.h"

namespace tessel::app {
namespace {

std::string now(std::time_t at) {
    char text[32];
    std::tm utc{};
    ::gmtime_r(&at, &utc);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
    return text;
}

// The subscribed names, each once; the copies themselves are let go at once, as a list of
// millions of names takes tens of megabytes.
std::string subscribedNames(platform::FileSystem& files, const core::ProgramPaths& paths,
                            std::vector<std::string>& from) {
    std::vector<ListCopy> copies = loadListCopies(files, paths);
    std::vector<std::string_view> names;
    for (const ListCopy& copy : copies) {
        names.push_back(copy.parsed.names);
        from.push_back(copy.url + " (kept " + std::to_string(copy.parsed.count) + " names)");
    }
    return core::combine(names);
}

}  // namespace

int exportList(int argc, char** argv) {
    const auto format = argc == 3 || argc == 4 ? core::exportFormatNamed(argv[2]) : std::nullopt;
    if (!format) {
        std::fprintf(stderr, "usage: tessel --export %s [FILE]\n",
                     core::exportFormatNames().c_str());
        return 2;
    }
    const std::string directory = platform::programDirectory();
    const core::ProgramPaths paths{directory, platform::userFilesFor(directory)};
    platform::PosixFileSystem files;
    const auto list = files.readFile(paths.list());
    if (!list.ok()) {
        return fail(paths.list() + ": " + list.status.error());
    }
    const auto allowed = files.readFile(paths.allowed());
    const core::AllowList allow(allowed.ok() ? allowed.bytes : std::string());
    core::ExportSource source;
    source.from.push_back(paths.list());
    const std::string names = subscribedNames(files, paths, source.from);
    if (!allow.empty()) {
        source.from.push_back("less the names in " + paths.allowed());
    }
    const std::time_t at = std::time(nullptr);
    source.list = list.bytes;
    source.names = names;
    source.made = now(at);
    source.serial = at;
    source.file = argc == 4 ? argv[3] : "";
    source.allow = &allow;
    const core::Exported exported = core::exportList(*format, source);
    if (argc == 4) {
        if (const auto status = files.writePieces(argv[3], exported.text); !status.ok()) {
            return fail(std::string(argv[3]) + ": " + status.error());
        }
    } else if (!writeOut(exported.text)) {
        return fail("standard output: cannot be written");
    }
    std::fprintf(stderr, "tessel: %zu names exported", exported.names);
    if (exported.skipped != 0) {
        std::fprintf(stderr, "; %zu left out, as no resolver could look them up", exported.skipped);
    }
    std::fputs(".\n", stderr);
    return 0;
}

}  // namespace tessel::app
