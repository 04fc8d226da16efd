// The server-list editor on any bytes: reading keeps every line, cleaning leaves no short entry
// and drops no long one, the sort is a stable ordering of the same entries, and the text typed
// into the box collapses and saves to a settled form.
#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/Lines.h"
#include "core/ListEditor.h"
#include "fuzz/Check.h"

namespace {

namespace core = tessel::core;
using List = std::vector<std::string>;

// What the sort compares: the lower-cased text up to the first NUL byte.
std::string lowered(const std::string& entry) {
    std::string text(entry.c_str());
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The entries by what the sort compares, each group in list order: equal for a stable sort.
std::map<std::string, List> groups(const List& list) {
    std::map<std::string, List> byText;
    for (const auto& entry : list) {
        byText[lowered(entry)].push_back(entry);
    }
    return byText;
}

void checkSort(const List& list) {
    const List sorted = core::sortArray(list);
    TESSEL_CHECK(groups(sorted) == groups(list) && core::sortArray(sorted) == sorted);
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        TESSEL_CHECK(std::strcoll(lowered(sorted[i - 1]).c_str(), lowered(sorted[i]).c_str()) <= 0);
    }
}

}  // namespace

// The editor runs inside Qt, which takes its collation from the environment; so does this target.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const List read = core::readList(input);
    std::size_t lines = 0;
    tessel::core::forEachLine(input, [&lines](std::string_view) { return ++lines > 0; });
    TESSEL_CHECK(read.size() == lines);
    List cleaned = read;
    core::removeShortEntries(cleaned);
    const auto isLong = [](const std::string& entry) { return entry.size() >= 2; };
    TESSEL_CHECK(std::ranges::all_of(cleaned, isLong));
    TESSEL_CHECK(cleaned.size() == static_cast<std::size_t>(std::ranges::count_if(read, isLong)));
    checkSort(read);
    // The editor's own loading works on views into the bytes: it must show what the steps give.
    std::string shown;
    for (const auto& entry : core::sortArray(cleaned)) {
        shown += (shown.empty() ? "" : "\r\n") + entry;
    }
    TESSEL_CHECK(core::loadForEditing(input) == shown);

    const std::string collapsed = core::collapseLineBreaks(input);
    TESSEL_CHECK(collapsed.find("\r\n\r\n") == std::string::npos && collapsed.size() <= size);
    TESSEL_CHECK(core::collapseLineBreaks(collapsed) == collapsed);
    const std::string saved = core::savedList(collapsed);
    TESSEL_CHECK(saved.ends_with(tessel::core::kCrLf) && !saved.starts_with(' '));
    TESSEL_CHECK(saved.size() == 2 || saved[saved.size() - 3] != ' ');
    return 0;
}
