#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace tessel::helper {

// The helper's only files: the HOSTS file and its kept copy. Every other path is refused, so no
// message can turn the helper's rights on another file. The kept copy is written as root's, mode
// 0600, and read only while it still is: a copy the user could have changed is never given back
// as the machine's HOSTS file.
class ConfinedFiles final : public platform::FileSystem {
public:
    ConfinedFiles(platform::FileSystem& files, std::string hostsPath, std::string savedPath);

    platform::ReadResult readFile(const std::string& path) override;
    platform::Status writeFile(const std::string& path, std::string_view bytes) override;
    platform::Status writeFile(const std::string& path, std::string_view bytes,
                               const platform::Ownership& ownership) override;
    platform::Status writePieces(const std::string& path, const core::Pieces& content) override;
    std::optional<platform::Ownership> ownership(const std::string& path) override;
    platform::Status removeFile(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    void removeLeftovers(const std::string& directory) override;
    bool removeLeftoversOf(const std::string& path, std::optional<unsigned> owner) override;

private:
    bool allowed(const std::string& path) const;

    platform::FileSystem& files_;
    std::string hostsPath_;
    std::string savedPath_;
};

}  // namespace tessel::helper
