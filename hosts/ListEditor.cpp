#include "hosts/ListEditor.h"
// placeholder
namespace tessel::hosts {
std::vector<std::string> readList(std::string_view) { return {}; }
void removeShortEntries(std::vector<std::string>&) {}
std::vector<std::string> sortArray(const std::vector<std::string>& list) { return list; }
std::string loadForEditing(std::string_view) { return {}; }
std::string collapseLineBreaks(std::string_view text) { return std::string(text); }
std::string savedList(std::string_view text) { return std::string(text) + "\r\n"; }
EditorLayout resizeEditor(EditorLayout previous, int, int) { return previous; }
}  // namespace tessel::hosts
