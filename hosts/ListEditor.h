#pragma once

#include <string>
#include <string_view>
#include <vector>

// The server-list editor's algorithms: loading badHosts.dat for display, cleaning the edited text
// for saving, and the window's resize rules. Pure functions over bytes.
namespace tessel::hosts {

// The list's lines as read (CR LF or LF ends a line; the last needs none).
std::vector<std::string> readList(std::string_view bytes);

// Removes every entry shorter than 2 characters: a short entry is replaced by the last entry
// still in the list and its position examined again.
void removeShortEntries(std::vector<std::string>& list);

// A stably sorted copy: ascending, letter case ignored, by the locale's text comparison.
std::vector<std::string> sortArray(const std::vector<std::string>& list);

// The list as the editor shows it: cleaned, sorted, joined by CR LF with none after the last.
std::string loadForEditing(std::string_view bytes);

// Runs of line breaks reduced to one CR LF (the box's new content).
std::string collapseLineBreaks(std::string_view text);

// What OK writes to badHosts.dat: the collapsed text without leading and trailing spaces
// (spaces only), followed by CR LF.
std::string savedList(std::string_view collapsedText);

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

}  // namespace tessel::hosts
