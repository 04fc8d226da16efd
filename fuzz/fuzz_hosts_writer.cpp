// What the program writes into the HOSTS file, for any server list, and the historical line
// filter, for any HOSTS file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/HostsText.h"
#include "core/Lines.h"
#include "fuzz/Check.h"

namespace {

using tessel::hosts::filterLines;
using tessel::hosts::keepModeBlock;
using tessel::hosts::kEntryPrefix;
using tessel::hosts::replaceModeText;
using tessel::text::kCrLf;

// The written text is `head` and then exactly one prefixed CR LF-ended line per non-empty list
// line, in the list's order.
void checkEntries(std::string_view written, std::string_view head, std::string_view list) {
    TESSEL_CHECK(written.starts_with(head));
    TESSEL_CHECK(written.ends_with(kCrLf));
    std::vector<std::string_view> names;
    tessel::text::forEachLine(list, [&names](std::string_view line) {
        if (!line.empty()) {
            names.push_back(line);
        }
        return true;
    });
    std::size_t pos = head.size();
    std::size_t entries = 0;
    while (pos < written.size()) {
        const std::size_t lf = written.find('\n', pos);
        TESSEL_CHECK(lf != std::string_view::npos && lf > pos && written[lf - 1] == '\r');
        const std::string_view line = written.substr(pos, lf - 1 - pos);
        TESSEL_CHECK(line.starts_with(kEntryPrefix));
        TESSEL_CHECK(entries < names.size());
        TESSEL_CHECK(line.substr(kEntryPrefix.size()) == names[entries]);
        ++entries;
        pos = lf + 1;
    }
    TESSEL_CHECK(entries == names.size());
}

// Every line the filter keeps is one it had to keep, and the text is framed by CR LF.
void checkFiltered(std::string_view filtered) {
    TESSEL_CHECK(filtered.starts_with(kCrLf));
    TESSEL_CHECK(filtered.ends_with(kCrLf));
    std::size_t pos = kCrLf.size();
    while (pos < filtered.size()) {
        const std::size_t end = filtered.find(kCrLf, pos);
        TESSEL_CHECK(end != std::string_view::npos);
        const std::string_view line = filtered.substr(pos, end - pos);
        TESSEL_CHECK(line.size() > 2);
        TESSEL_CHECK(line.find("Tessel") == std::string_view::npos);
        TESSEL_CHECK(line.find("127.0.0.1") == std::string_view::npos ||
                     line.find("localhost") != std::string_view::npos);
        pos = end + kCrLf.size();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    checkEntries(replaceModeText(input), replaceModeText({}), input);
    checkEntries(keepModeBlock(input), keepModeBlock({}), input);

    checkFiltered(filterLines(input));
    // Filtering again changes nothing: the empty first line goes and comes back, the rest stays.
    const std::string filtered = filterLines(input);
    TESSEL_CHECK(filterLines(filtered) == filtered);
    return 0;
}
