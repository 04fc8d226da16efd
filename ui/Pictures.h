#pragma once

#include <QIcon>
#include <QRect>
#include <array>
#include <cstdint>

#include "platform/Tray.h"
#include "platform/ZOrder.h"

namespace tessel::ui {

// The 16x16 banner-with-an-X picture, coloured while filtering and grey while paused, as
// 0xAARRGGBB pixels, top row first; transparent pixels are 0.
std::array<std::uint32_t, 256> trayPixels(platform::TrayPicture picture);
QIcon trayIcon(platform::TrayPicture picture);

// Twips (1/1440 inch) to pixels at the screen's logical DPI: 15 twips a pixel at 96 DPI.
int twipsToPixels(int twips, double logicalDpi);
int twipsToPixels(int twips);
// A control's place and size, given in twips, in pixels at the screen's DPI.
QRect twipsRect(int left, int top, int width, int height);

}  // namespace tessel::ui
