#include "core/PicturePresets.h"

#include <algorithm>
#include <cctype>

namespace tessel::core {
namespace {

std::string lower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

}  // namespace

int markedPreset(std::string_view picturePath, std::string_view programDirectory) {
    const std::string path = lower(picturePath);
    const std::string directory = lower(programDirectory);
    for (std::size_t row = 0; row < kPicturePresets.size(); ++row) {
        if (path == directory + kPicturePresets[row].compared) {
            return static_cast<int>(row);
        }
    }
    return kNoPreset;
}

}  // namespace tessel::core
