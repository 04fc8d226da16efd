// What the program writes into the HOSTS file, for any server list: the fixed head, then exactly
// one prefixed CR LF line per non-empty list line, in order. And the historical line filter, for
// any HOSTS file: framed by CR LF, keeping only lines it may keep, and unchanged when run again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/HostsText.h"
#include "core/Lines.h"
#include "fuzz/Check.h"

namespace {

namespace core = tessel::core;
using tessel::core::kCrLf;

// Calls `check` with each CR LF-ended line of `text` after `head`; every byte must be in one.
template <typename Check>
void eachCrLfLine(std::string_view text, std::size_t head, Check check) {
    TESSEL_CHECK(text.ends_with(kCrLf));
    for (std::size_t pos = head; pos < text.size();) {
        const std::size_t end = text.find(kCrLf, pos);
        check(text.substr(pos, end - pos));
        pos = end + kCrLf.size();
    }
}

void checkEntries(std::string_view written, std::string_view head, std::string_view list) {
    TESSEL_CHECK(written.starts_with(head));
    std::vector<std::string_view> names;
    tessel::core::forEachLine(list, [&names](std::string_view line) {
        if (!line.empty()) {
            names.push_back(line);
        }
        return true;
    });
    std::size_t entries = 0;
    eachCrLfLine(written, head.size(), [&](std::string_view line) {
        TESSEL_CHECK(entries < names.size() && line.starts_with(core::kEntryPrefix));
        TESSEL_CHECK(line.substr(core::kEntryPrefix.size()) == names[entries++]);
    });
    TESSEL_CHECK(entries == names.size());
}

void checkFiltered(std::string_view filtered) {
    TESSEL_CHECK(filtered.starts_with(kCrLf));
    eachCrLfLine(filtered, kCrLf.size(), [](std::string_view line) {
        TESSEL_CHECK(line.size() > 2 && line.find("Tessel") == std::string_view::npos);
        TESSEL_CHECK(line.find("127.0.0.1") == std::string_view::npos ||
                     line.find("localhost") != std::string_view::npos);
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    checkEntries(core::replaceModeText(input), core::replaceModeText({}), input);
    checkEntries(core::keepModeBlock(input), core::keepModeBlock({}), input);
    // The size is announced before the text is made (a file rewritten in place is cut to it).
    const auto pieces = core::keepModePieces({}, input, {});
    TESSEL_CHECK(pieces.size == pieces.whole().size());
    const std::string filtered = core::filterLines(input);
    checkFiltered(filtered);
    TESSEL_CHECK(core::filterLines(filtered) == filtered);
    return 0;
}
