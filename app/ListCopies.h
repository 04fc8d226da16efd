#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/BlockLists.h"
#include "core/ProgramPaths.h"
#include "platform/FileSystem.h"

// The subscribed lists as the program last kept them, without Qt: the command-line export reads
// them as the program does.
namespace tessel::app {

struct ListCopy final {
    std::string url;
    std::string state;         // what the window shows of the last download
    std::int64_t fetched = 0;  // when the server last answered, seconds since the epoch
    std::string etag;
    std::string lastModified;
    core::ParsedList parsed;
};

// The name of a list's files: the same for a URL in every run.
std::string listKey(const std::string& url);
// The kept copy and state of one list; a list never downloaded has none.
ListCopy loadListCopy(platform::FileSystem& files, const core::ProgramPaths& paths,
                      std::string url);
// Every subscribed list's copy, in the order lists.dat names them.
std::vector<ListCopy> loadListCopies(platform::FileSystem& files, const core::ProgramPaths& paths);

}  // namespace tessel::app
