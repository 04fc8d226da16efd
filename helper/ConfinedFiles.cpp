#include "helper/ConfinedFiles.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "core/ProgramPaths.h"

namespace tessel::helper {
namespace {

constexpr platform::Ownership kRootOnly{0, 0, 0600};
// A HOSTS file made where there was none is root's, as the system's own would be, not the user's
// the helper runs as.
constexpr platform::Ownership kNewHosts{0, 0, 0644};

platform::Status refused() {
    return platform::Status::failure(std::strerror(EPERM));
}

}  // namespace

ConfinedFiles::ConfinedFiles(platform::FileSystem& files, std::string hostsPath,
                             std::string savedPath)
    : files_(files), hostsPath_(std::move(hostsPath)), savedPath_(std::move(savedPath)) {}

bool ConfinedFiles::allowed(const std::string& path) const {
    return path == hostsPath_ || path == savedPath_;
}

platform::ReadResult ConfinedFiles::readFile(const std::string& path) {
    if (!allowed(path)) {
        return {refused(), {}, false};
    }
    if (path == savedPath_) {
        const auto owner = files_.ownership(path);
        if (owner && (owner->owner != kRootOnly.owner || (owner->mode & 0077) != 0)) {
            return {platform::Status::failure("not root's own file"), {}, true};
        }
    }
    return files_.readFile(path);
}

platform::Status ConfinedFiles::writeFile(const std::string& path, std::string_view bytes) {
    if (path == savedPath_) {
        return files_.writeFile(path, bytes, kRootOnly);
    }
    if (path == hostsPath_ && !files_.ownership(path)) {
        return files_.writeFile(path, bytes, kNewHosts);
    }
    return allowed(path) ? files_.writeFile(path, bytes) : refused();
}

platform::Status ConfinedFiles::writeFile(const std::string& path, std::string_view bytes,
                                          const platform::Ownership& ownership) {
    return path == hostsPath_ ? files_.writeFile(path, bytes, ownership) : writeFile(path, bytes);
}

platform::Status ConfinedFiles::writePieces(const std::string& path, const core::Pieces& content) {
    return path == hostsPath_ && files_.ownership(path) ? files_.writePieces(path, content)
                                                        : writeFile(path, content.whole());
}

std::optional<platform::Ownership> ConfinedFiles::ownership(const std::string& path) {
    return allowed(path) ? files_.ownership(path) : std::nullopt;
}

platform::Status ConfinedFiles::removeFile(const std::string& path) {
    return allowed(path) ? files_.removeFile(path) : refused();
}

bool ConfinedFiles::fileExists(const std::string& path) {
    return allowed(path) && files_.fileExists(path);
}

// A whole directory is never swept: a copy named for another file in /etc would be written there.
void ConfinedFiles::removeLeftovers(const std::string&) {}

// Only the HOSTS file's own rewrite, from a copy that is root's as every copy the helper makes is.
bool ConfinedFiles::removeLeftoversOf(const std::string& path, std::optional<unsigned>) {
    return path != hostsPath_ || files_.removeLeftoversOf(path, kRootOnly.owner);
}

}  // namespace tessel::helper
