#pragma once

#include <set>
#include <string>

#include "platform/FileSystem.h"

namespace tessel::platform {

class PosixFileSystem final : public FileSystem {
public:
    ReadResult readFile(const std::string& path) override;
    Status writeFile(const std::string& path, std::string_view bytes) override;
    Status removeFile(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    void removeLeftovers(const std::string& directory) override;

private:
    std::set<std::string> writtenInPlace_;
};

}  // namespace tessel::platform
