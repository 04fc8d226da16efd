#pragma once

#include <string>
#include <string_view>
#include <vector>

// The server-list editor's algorithms: loading badHosts.dat for display and cleaning the edited
// text for saving. Pure functions over bytes.
namespace tessel::core {

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

}  // namespace tessel::core
