#include "ui/EditorLayout.h"

#include <cmath>

namespace tessel::ui {
namespace {

int twips(float value) {
    return static_cast<int>(std::lround(value));
}

}  // namespace

EditorLayout resizeEditor(EditorLayout previous, int outerWidth, int outerHeight) {
    // Worked out in single precision; outer sizes in twips stay far below where that rounds.
    const auto w = static_cast<float>(outerWidth);
    const auto h = static_cast<float>(outerHeight);
    EditorLayout layout = previous;
    layout.hosts.width = twips(w - 390.0F);
    if (h > 1110.0F) {
        layout.hosts.height = twips(h - 1110.0F);
    }
    layout.ok.left = twips(w - 2790.0F);
    if (h > 1395.0F) {
        layout.ok.top = twips(h - 870.0F);
    }
    layout.cancel.left = twips(w - 1470.0F);
    if (h > 1395.0F) {
        layout.cancel.top = twips(h - 870.0F);
    }
    return layout;
}

}  // namespace tessel::ui
