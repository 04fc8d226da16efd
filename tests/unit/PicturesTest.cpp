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
