#pragma once

#include <string>
#include <string_view>

#include "platform/Result.h"

namespace tessel::platform {

// Whole files as bytes. Every write replaces the target atomically (a temporary file beside it,
// renamed over it, keeping its permissions and owner), so a crash or a full disk never leaves a
// half-written file behind.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual ReadResult readFile(const std::string& path) = 0;
    virtual Status writeFile(const std::string& path, std::string_view bytes) = 0;
    virtual Status removeFile(const std::string& path) = 0;
    // A search with normal attributes: an empty path, a directory or a hidden file is not found.
    virtual bool fileExists(const std::string& path) = 0;
    // Deletes the temporaries that a write cut short by a kill left in a directory. Only one
    // instance runs, so any found at start-up belong to no write in progress.
    virtual void removeLeftovers(const std::string& directory) = 0;
};

}  // namespace tessel::platform
