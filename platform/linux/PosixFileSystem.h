#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace tessel::platform {

// Whether a write may fall back to a named temporary where the file system has no unnamed ones.
// A privileged writer running as a user may not: the user could open the named file before it
// becomes root's and write into it later.
enum class Temporaries { Named, UnnamedOnly };

class PosixFileSystem final : public FileSystem {
public:
    explicit PosixFileSystem(Temporaries temporaries = Temporaries::Named)
        : temporaries_(temporaries) {}

    ReadResult readFile(const std::string& path) override;
    Status writeFile(const std::string& path, std::string_view bytes) override;
    Status writeFile(const std::string& path, std::string_view bytes,
                     const Ownership& ownership) override;
    Status writePieces(const std::string& path, const core::Pieces& content) override;
    std::optional<Ownership> ownership(const std::string& path) override;
    Status removeFile(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    ReadResult readRegularFile(const std::string& path, std::size_t limit) override;
    void removeLeftovers(const std::string& directory) override;
    bool removeLeftoversOf(const std::string& path, std::optional<unsigned> owner) override;

private:
    Status replaceFile(const std::string& path, const core::Pieces& content,
                       const Ownership* wanted) const;
    // Every leftover in `directory`, or only those of the file named `only`.
    // False when a cut rewrite it should finish is left unfinished.
    bool sweep(const std::string& directory, std::string_view only, std::optional<unsigned> owner);

    Temporaries temporaries_;
};

}  // namespace tessel::platform
