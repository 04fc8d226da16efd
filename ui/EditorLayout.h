#pragma once

// The server-list window's geometry in twips and its resize rules.
namespace tessel::ui {

// Positions and sizes in twips.
struct Rect final {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};
struct EditorLayout final {
    Rect hosts{120, 120, 5040, 5400};
    Rect ok{2640, 5640, 1095, 375};
    Rect cancel{3960, 5640, 1095, 375};
    bool operator==(const EditorLayout&) const = default;
};

// The six resize rules on the window's outer size (title bar and borders included).
EditorLayout resizeEditor(EditorLayout previous, int outerWidth, int outerHeight);

}  // namespace tessel::ui
