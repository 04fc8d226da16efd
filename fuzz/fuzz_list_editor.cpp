// The server-list editor's cleaning, sorting and saving on any bytes.
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

using tessel::hosts::collapseLineBreaks;
using tessel::hosts::loadForEditing;
using tessel::hosts::readList;
using tessel::hosts::removeShortEntries;
using tessel::hosts::savedList;
using tessel::hosts::sortArray;
using tessel::text::kCrLf;
using List = std::vector<std::string>;

// What the sort looks at: the lower-cased text up to the first NUL byte.
std::string lowered(const std::string& entry) {
    std::string text(entry.c_str());
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

List sortedBytes(List list) {
    std::sort(list.begin(), list.end());
    return list;
}

// Entries the sort must treat as equal, in the order they appear.
std::map<std::string, List> groups(const List& list) {
    std::map<std::string, List> byText;
    for (const auto& entry : list) {
        byText[lowered(entry)].push_back(entry);
    }
    return byText;
}

void checkSort(const List& list) {
    const List sorted = sortArray(list);
    TESSEL_CHECK(sortedBytes(sorted) == sortedBytes(list));
    TESSEL_CHECK(sortArray(list) == sorted);
    TESSEL_CHECK(sortArray(sorted) == sorted);
    TESSEL_CHECK(groups(sorted) == groups(list));
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        TESSEL_CHECK(std::strcoll(lowered(sorted[i - 1]).c_str(), lowered(sorted[i]).c_str()) <= 0);
    }
}

void checkLists(std::string_view bytes) {
    const List read = readList(bytes);
    std::size_t lines = 0;
    tessel::text::forEachLine(bytes, [&lines](std::string_view) {
        ++lines;
        return true;
    });
    TESSEL_CHECK(read.size() == lines);

    List cleaned = read;
    removeShortEntries(cleaned);
    List expected;
    for (const auto& entry : read) {
        TESSEL_CHECK(entry.find('\n') == std::string::npos);
        if (entry.size() >= 2) {
            expected.push_back(entry);
        }
    }
    TESSEL_CHECK(sortedBytes(cleaned) == sortedBytes(expected));

    checkSort(read);
    checkSort(cleaned);

    const List sorted = sortArray(cleaned);
    std::string joined;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        joined += i > 0 ? std::string(kCrLf) : std::string();
        joined += sorted[i];
    }
    TESSEL_CHECK(loadForEditing(bytes) == joined);
}

void checkSaving(std::string_view text) {
    const std::string collapsed = collapseLineBreaks(text);
    TESSEL_CHECK(collapsed.find("\r\n\r\n") == std::string::npos);
    TESSEL_CHECK(collapsed.size() <= text.size());
    TESSEL_CHECK(collapseLineBreaks(collapsed) == collapsed);

    const std::string saved = savedList(collapsed);
    TESSEL_CHECK(saved.ends_with(kCrLf));
    TESSEL_CHECK(!saved.starts_with(' '));
    TESSEL_CHECK(saved.size() == kCrLf.size() || saved[saved.size() - 3] != ' ');
}

}  // namespace

// The editor runs inside Qt, which takes its collation from the environment; so does this target.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    checkLists(input);
    checkSaving(input);
    return 0;
}
