#include "ui/Pictures.h"
// placeholder: replaced by the real implementation
namespace tessel::ui {
std::array<std::uint32_t, 256> trayPixels(platform::TrayPicture) { return {}; }
QIcon trayIcon(platform::TrayPicture) { return {}; }
int twipsToPixels(int twips, double dpi) { return static_cast<int>(twips * dpi / 1440.0 + 0.5); }
int twipsToPixels(int twips) { return twipsToPixels(twips, 96.0); }
}  // namespace tessel::ui
