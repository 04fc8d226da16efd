// Writes Tessel's icon as PNG files for the hicolor theme, from the tray icon's own pixels, so the
// launcher, the menus and the tray show one picture. Usage: tessel_icons OUTDIR SIZE...; each size
// goes to OUTDIR/SIZExSIZE/apps/tessel.png. The 16-pixel picture is scaled by whole pixels only,
// as a blurred mark reads worse than a smaller one, and centred in what is left over.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>
#include <string>

#include "ui/Pictures.h"

namespace {

constexpr int kSide = 16;

// At least kSide pixels.
QImage drawn(int size) {
    const auto pixels = tessel::ui::trayPixels(tessel::platform::TrayPicture::Running);
    const int scale = size / kSide;
    const int margin = (size - kSide * scale) / 2;
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(0U);
    for (int y = 0; y < kSide * scale; ++y) {
        for (int x = 0; x < kSide * scale; ++x) {
            const auto pixel = pixels[static_cast<std::size_t>((y / scale) * kSide + x / scale)];
            image.setPixel(x + margin, y + margin, pixel);
        }
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    for (int arg = 2; arg < argc; ++arg) {
        const int size = std::stoi(argv[arg]);
        const QString directory =
            QString::fromLocal8Bit(argv[1]) + QStringLiteral("/%1x%1/apps").arg(size);
        if (size < kSide || !QDir().mkpath(directory) ||
            !drawn(size).save(directory + QStringLiteral("/tessel.png"), "PNG")) {
            std::fprintf(stderr, "cannot write the %d-pixel icon in %s\n", size, argv[1]);
            return 1;
        }
    }
    return 0;
}
