#include <gtest/gtest.h>

#include <QColor>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/Pictures.h"

using tessel::platform::TrayPicture;
using tessel::ui::trayIcon;
using tessel::ui::trayPixels;
using tessel::ui::twipsToPixels;

namespace {

// One line of the drawing and every row that shows it: '.' transparent, b corner and inner
// border, k frame, p panel, x cross.
struct MapLine {
    std::vector<int> rows;
    std::string pixels;
};

const std::vector<MapLine> kMap{
    {{0, 1, 14, 15}, "................"}, {{2, 13}, "bkkkkkkkkkkkkkkb"},
    {{3, 12}, "kkkkkkkkkkkkkkkk"},        {{4, 11}, "kkbbbbbbbbbbbbkk"},
    {{5, 10}, "kkbppppppppppbkk"},        {{6, 9}, "kkbppxxppxxppbkk"},
    {{7, 8}, "kkbppppxxppppbkk"},
};

struct Palette {
    const char* label;
    TrayPicture picture;
    std::uint32_t border;
    std::uint32_t frame;
    std::uint32_t panel;
    std::uint32_t cross;
};

const Palette kPalettes[] = {
    {"running", TrayPicture::Running, 0xFF616161, 0xFF000000, 0xFFADADAD, 0xFF280262},
    {"paused", TrayPicture::Paused, 0xFFADADAD, 0xFF616161, 0xFFC0C0C0, 0xFF808080},
};

std::uint32_t expected(char role, const Palette& palette) {
    switch (role) {
        case 'b':
            return palette.border;
        case 'k':
            return palette.frame;
        case 'p':
            return palette.panel;
        case 'x':
            return palette.cross;
        default:
            return 0;
    }
}

class TrayPictureTest : public ::testing::TestWithParam<Palette> {};

TEST_P(TrayPictureTest, EveryPixelFollowsTheDrawing) {
    const Palette& palette = GetParam();
    const auto pixels = trayPixels(palette.picture);
    for (const MapLine& line : kMap) {
        for (const int row : line.rows) {
            for (int column = 0; column < 16; ++column) {
                SCOPED_TRACE(testing::Message() << "row " << row << " column " << column);
                EXPECT_EQ(pixels.at(static_cast<std::size_t>(row * 16 + column)),
                          expected(line.pixels.at(static_cast<std::size_t>(column)), palette));
            }
        }
    }
}

TEST_P(TrayPictureTest, IconShowsTheSamePixelsAt16By16) {
    const Palette& palette = GetParam();
    const QIcon icon = trayIcon(palette.picture);
    ASSERT_FALSE(icon.isNull());
    const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(16, 16));
    const auto pixels = trayPixels(palette.picture);
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 16; ++column) {
            SCOPED_TRACE(testing::Message() << "row " << row << " column " << column);
            EXPECT_EQ(image.pixel(column, row),
                      pixels.at(static_cast<std::size_t>(row * 16 + column)));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothPictures, TrayPictureTest, ::testing::ValuesIn(kPalettes),
                         [](const auto& row) { return std::string(row.param.label); });

TEST(TrayPictures, PausedIsTheSameDrawingInGreys) {
    const auto paused = trayPixels(TrayPicture::Paused);
    for (std::size_t each = 0; each < paused.size(); ++each) {
        const QColor colour = QColor::fromRgba(paused.at(each));
        EXPECT_EQ(colour.red(), colour.green()) << "pixel " << each;
        EXPECT_EQ(colour.green(), colour.blue()) << "pixel " << each;
    }
    EXPECT_NE(trayPixels(TrayPicture::Running), paused);
}

struct Conversion {
    int twips;
    double dpi;
    int pixels;
};

class TwipsTest : public ::testing::TestWithParam<Conversion> {};

TEST_P(TwipsTest, RoundsToTheNearestPixel) {
    const Conversion& row = GetParam();
    EXPECT_EQ(twipsToPixels(row.twips, row.dpi), row.pixels)
        << row.twips << " twips at " << row.dpi << " dpi";
}

INSTANTIATE_TEST_SUITE_P(At96And120Dpi, TwipsTest,
                         ::testing::Values(Conversion{0, 96.0, 0}, Conversion{15, 96.0, 1},
                                           Conversion{7, 96.0, 0},      // 0.47
                                           Conversion{8, 96.0, 1},      // 0.53
                                           Conversion{1298, 96.0, 87},  // 86.53
                                           Conversion{2280, 96.0, 152}, Conversion{585, 96.0, 39},
                                           Conversion{1440, 96.0, 96}, Conversion{12, 120.0, 1},
                                           Conversion{1590, 120.0, 133},  // 132.5 rounds up
                                           Conversion{2280, 120.0, 190},
                                           Conversion{53, 120.0, 4},  // 4.42
                                           Conversion{1440, 120.0, 120}));

TEST(Twips, UsesThePrimaryScreensLogicalDpi) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
    EXPECT_EQ(twipsToPixels(14400), twipsToPixels(14400, dpi));
}

}  // namespace
