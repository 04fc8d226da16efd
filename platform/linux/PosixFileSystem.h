#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace tessel::platform {

class PosixFileSystem final : public FileSystem {
public:
    ReadResult readFile(const std::string& path) override;
    Status writeFile(const std::string& path, std::string_view bytes) override;
    Status writeFile(const std::string& path, std::string_view bytes,
                     const Ownership& ownership) override;
    Status writePieces(const std::string& path, const text::Pieces& content) override;
    std::optional<Ownership> ownership(const std::string& path) override;
    Status removeFile(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    void removeLeftovers(const std::string& directory) override;
};

}  // namespace tessel::platform
