#include "ui/Pictures.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cmath>
#include <string_view>

namespace tessel::ui {
namespace {

constexpr int kSide = 16;
constexpr double kTwipsPerInch = 1440.0;
constexpr double kFallbackDpi = 96.0;

// The banner with an X: b corner and inner border, k frame, p panel, x cross, '.' transparent.
constexpr std::array<std::string_view, kSide> kPixelMap{{
    "................",
    "................",
    "bkkkkkkkkkkkkkkb",
    "kkkkkkkkkkkkkkkk",
    "kkbbbbbbbbbbbbkk",
    "kkbppppppppppbkk",
    "kkbppxxppxxppbkk",
    "kkbppppxxppppbkk",
    "kkbppppxxppppbkk",
    "kkbppxxppxxppbkk",
    "kkbppppppppppbkk",
    "kkbbbbbbbbbbbbkk",
    "kkkkkkkkkkkkkkkk",
    "bkkkkkkkkkkkkkkb",
    "................",
    "................",
}};

constexpr std::uint32_t opaque(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return 0xFF000000U | (red << 16U) | (green << 8U) | blue;
}

struct Colours final {
    std::uint32_t border;
    std::uint32_t frame;
    std::uint32_t panel;
    std::uint32_t cross;
};

constexpr Colours kRunning{opaque(97, 97, 97), opaque(0, 0, 0), opaque(173, 173, 173),
                           opaque(40, 2, 98)};
constexpr Colours kPaused{opaque(173, 173, 173), opaque(97, 97, 97), opaque(192, 192, 192),
                          opaque(128, 128, 128)};

constexpr std::uint32_t colourOf(char role, const Colours& colours) {
    switch (role) {
        case 'b':
            return colours.border;
        case 'k':
            return colours.frame;
        case 'p':
            return colours.panel;
        case 'x':
            return colours.cross;
        default:
            return 0;
    }
}

}  // namespace

std::array<std::uint32_t, 256> trayPixels(platform::TrayPicture picture) {
    const Colours& colours = picture == platform::TrayPicture::Running ? kRunning : kPaused;
    std::array<std::uint32_t, 256> pixels{};
    for (std::size_t row = 0; row < kPixelMap.size(); ++row) {
        for (std::size_t column = 0; column < kPixelMap[row].size(); ++column) {
            pixels[row * kSide + column] = colourOf(kPixelMap[row][column], colours);
        }
    }
    return pixels;
}

QIcon trayIcon(platform::TrayPicture picture) {
    const std::array<std::uint32_t, 256> pixels = trayPixels(picture);
    QImage image(kSide, kSide, QImage::Format_ARGB32);
    for (int row = 0; row < kSide; ++row) {
        for (int column = 0; column < kSide; ++column) {
            image.setPixel(column, row, pixels[static_cast<std::size_t>(row * kSide + column)]);
        }
    }
    return QIcon(QPixmap::fromImage(image));
}

int twipsToPixels(int twips, double logicalDpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * logicalDpi / kTwipsPerInch));
}

int twipsToPixels(int twips) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return twipsToPixels(twips, screen != nullptr ? screen->logicalDotsPerInchX() : kFallbackDpi);
}

QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

}  // namespace tessel::ui
