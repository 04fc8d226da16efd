#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessel::core {

// The HOSTS file as it was before the first replace-mode write, kept until it is given back, so a
// kill or a power cut in between still leaves the next start able to put it back.
struct SavedHosts final {
    std::string hostsPath;
    bool existed = false;  // false: there was no file, and giving back removes Tessel's
    unsigned owner = 0;
    unsigned group = 0;
    unsigned mode = 0;
    std::string bytes;
};

// A header of four lines (a version, the path, existed/owner/group/mode, the size), then the
// file's bytes unchanged. The path never holds a line break: such paths are refused earlier.
std::string formatSavedHosts(const SavedHosts& saved);
// Nothing unless the record is whole: a record cut short is never taken for a file.
std::optional<SavedHosts> parseSavedHosts(std::string_view record);

}  // namespace tessel::core
