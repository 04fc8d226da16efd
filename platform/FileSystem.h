#pragma once

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>

#include "core/Pieces.h"
#include "platform/Result.h"

namespace tessel::platform {

struct Ownership final {
    unsigned owner = 0;
    unsigned group = 0;
    unsigned mode = 0;  // permission bits
};

// Whole files as bytes. Writes are durable (synced before they return) and keep the target's owner
// and permissions. A file that can be renamed over is replaced atomically: a temporary file beside
// it is synced and renamed over it, so a crash, a power cut or a full disk leaves the old or the
// new file, never a mix. A file that cannot be renamed over (a bind mount) is rewritten in place,
// which is not atomic: a kill in the middle leaves it torn until removeLeftovers, at the next
// start, writes it again from the synced copy of the new bytes kept beside it. A symbolic link
// stays a link: writes and removal go to its target.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual ReadResult readFile(const std::string& path) = 0;
    // The same for a file that must be a regular one of at most `limit` bytes: anything else (a
    // FIFO that would never end, a device that would fill memory, a file too big) fails unread.
    virtual ReadResult readRegularFile(const std::string& path, std::size_t limit) {
        ReadResult read = readFile(path);
        if (read.ok() && read.bytes.size() > limit) {
            return {Status::failure("File too large", EFBIG), {}, false};
        }
        return read;
    }
    virtual Status writeFile(const std::string& path, std::string_view bytes) = 0;
    // The same, with this owner and these permissions whether or not the file exists.
    virtual Status writeFile(const std::string& path, std::string_view bytes,
                             const Ownership& ownership) = 0;
    // The same for a text made piece by piece, written as it is made rather than built whole.
    virtual Status writePieces(const std::string& path, const core::Pieces& content) {
        return writeFile(path, content.whole());
    }
    virtual std::optional<Ownership> ownership(const std::string& path) = 0;
    virtual Status removeFile(const std::string& path) = 0;
    // A search with normal attributes: an empty path, a directory or a hidden file is not found.
    virtual bool fileExists(const std::string& path) = 0;
    // Finishes the in-place rewrites and deletes the temporaries that a write cut short by a kill
    // left in a directory. Only one instance runs, so any found at start-up belong to no write in
    // progress. A rewrite that cannot be finished now keeps its copy for the next start.
    virtual void removeLeftovers(const std::string& directory) = 0;
    // The same for one file: only its own rewrite is finished (from a copy owned by `owner`, where
    // one is given), and the temporaries beside it deleted. False when a cut rewrite is left
    // unfinished: the file may be torn until a later start finishes it.
    virtual bool removeLeftoversOf(const std::string& path, std::optional<unsigned> owner) = 0;
};

}  // namespace tessel::platform
