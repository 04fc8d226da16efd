#include "app/ListCopies.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/Lines.h"

namespace tessel::app {

std::string listKey(const std::string& url) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : url) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

// The state file: the URL, the ETag, Last-Modified, the time of the last answer, the state.
ListCopy loadListCopy(platform::FileSystem& files, const core::ProgramPaths& paths,
                      std::string url) {
    ListCopy copy{std::move(url), "Not downloaded yet", 0, {}, {}, {}};
    const std::string key = listKey(copy.url);
    const auto state = files.readFile(paths.listState(key));
    std::vector<std::string> lines;
    core::forEachLine(state.ok() ? state.bytes : std::string(), [&lines](std::string_view line) {
        lines.emplace_back(line);
        return true;
    });
    if (lines.size() < 5 || lines[0] != copy.url) {
        return copy;
    }
    const auto kept = files.readFile(paths.listCopy(key));
    if (kept.ok()) {
        copy.parsed = core::parseList(kept.bytes);
        copy.etag = lines[1];
        copy.lastModified = lines[2];
        copy.fetched = std::atoll(lines[3].c_str());
    }
    copy.state = lines[4];
    return copy;
}

std::vector<ListCopy> loadListCopies(platform::FileSystem& files, const core::ProgramPaths& paths) {
    const auto urls = files.readFile(paths.lists());
    std::vector<ListCopy> copies;
    for (auto& url : core::parseUrls(urls.ok() ? urls.bytes : std::string())) {
        copies.push_back(loadListCopy(files, paths, std::move(url)));
    }
    return copies;
}

}  // namespace tessel::app
