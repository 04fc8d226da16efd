#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tessel::core {

struct PicturePreset final {
    const char* item;      // main-menu item; the tray copy adds "2"
    const char* written;   // appended to the program directory by the preset command
    const char* compared;  // appended to the lower-cased program directory by the marking rule
};

inline constexpr std::array<PicturePreset, 5> kPicturePresets{{
    {"menuPicBlack", "/data/black.gif", "/data/black.gif"},
    {"menuPicWhite", "/data/white.gif", "/data/white.gif"},
    {"menuPicGray", "/data/gray.gif", "/data/gray.gif"},
    {"menuPicTessel", "/data/Tessel.gif", "/data/tessel.gif"},
    {"menuPicRAV", "/data/rav.gif", "/data/rav.gif"},
}};

inline constexpr int kNoPreset = -1;

// The preset a picture path names, letter case ignored, or kNoPreset.
int markedPreset(std::string_view picturePath, std::string_view programDirectory);

}  // namespace tessel::core
