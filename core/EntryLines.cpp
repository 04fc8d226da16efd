#include "core/EntryLines.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/HostsText.h"
#include "core/Lines.h"

namespace tessel::core {
namespace {

// Hands `emit` the entry lines of the subscribed names (LF-ended lines) piece by piece.
template <typename Emit>
void groupedEntries(std::string_view names, Emit& emit) {
    NamePacker packer(emit, kEntryPrefix, kCrLf);
    forEachLine(names, [&packer](std::string_view name) {
        if (!name.empty()) {
            packer.add(name);
        }
        return true;
    });
}

struct LineCounts final {
    std::size_t feeds = 0;
    std::size_t pairs = 0;  // CR LF
    std::size_t empty = 0;  // lines that are LF or CR LF alone, after a line feed
};

// Counts over bytes 0 to n - 3 and what follows each. The counters run a block of at most 255
// bytes at a time in single bytes, so the compiler makes the loop vector code: twice as fast as
// stopping at every line.
LineCounts countLines(const unsigned char* s, std::size_t n) {
    LineCounts counts;
    for (std::size_t i = 0; i + 2 < n;) {
        const std::size_t stop = std::min(n - 2, i + 255);
        std::uint8_t feeds = 0;
        std::uint8_t pairs = 0;
        std::uint8_t empty = 0;
        for (; i < stop; ++i) {
            const auto feed = static_cast<std::uint8_t>(s[i] == '\n');
            const auto nextFeed = static_cast<std::uint8_t>(s[i + 1] == '\n');
            const auto nextCrLf =
                static_cast<std::uint8_t>((s[i + 1] == '\r') & (s[i + 2] == '\n'));
            feeds = static_cast<std::uint8_t>(feeds + feed);
            pairs = static_cast<std::uint8_t>(pairs + ((s[i] == '\r') & nextFeed));
            empty = static_cast<std::uint8_t>(empty + (feed & (nextFeed | nextCrLf)));
        }
        counts.feeds += feeds;
        counts.pairs += pairs;
        counts.empty += empty;
    }
    return counts;
}

// The bytes the entry lines for `list` take, the prefix and CR LF around each non-empty line,
// without walking it line by line.
std::size_t entryBytes(std::string_view list) {
    const std::size_t n = list.size();
    if (n == 0) {
        return 0;
    }
    const auto* s = reinterpret_cast<const unsigned char*>(list.data());
    LineCounts counts = countLines(s, n);
    if (n >= 2) {  // the second last byte, with only the last after it
        const bool feed = s[n - 2] == '\n';
        counts.feeds += feed ? 1 : 0;
        counts.pairs += s[n - 2] == '\r' && s[n - 1] == '\n' ? 1 : 0;
        counts.empty += feed && s[n - 1] == '\n' ? 1 : 0;
    }
    counts.feeds += s[n - 1] == '\n' ? 1 : 0;
    counts.empty += s[0] == '\n' || (n > 1 && s[0] == '\r' && s[1] == '\n') ? 1 : 0;
    const std::size_t lines = counts.feeds + (s[n - 1] == '\n' ? 0 : 1);
    const std::size_t content = n - counts.feeds - counts.pairs;
    return (lines - counts.empty) * (kEntryPrefix.size() + kCrLf.size()) + content;
}

// One entry line per non-empty list line. A line the list already ends with CR LF goes out with
// its own line end: one copy a line rather than two, over a million lines.
void entryLines(std::string_view list, PieceBuffer& out) {
    std::size_t start = 0;
    while (start < list.size()) {
        const std::size_t lf = list.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? list.size() : lf;
        const bool crlf = end > start && lf != std::string_view::npos && list[end - 1] == '\r';
        if (end - start > (crlf ? 1U : 0U)) {
            out.append(kEntryPrefix);
            if (crlf) {
                out.append(list.substr(start, end + 1 - start));
            } else {
                out.append(list.substr(start, end - start));
                out.append(kCrLf);
            }
        }
        start = end + 1;
    }
}

}  // namespace

Pieces withEntries(std::vector<std::string_view> heads, std::string_view list,
                   std::string_view names) {
    std::size_t size = 0;
    for (const std::string_view head : heads) {
        size += head.size();
    }
    size += entryBytes(list);
    auto count = [&size](std::string_view piece) { size += piece.size(); };
    groupedEntries(names, count);
    return {size, [heads = std::move(heads), list, names, size](const PieceSink& sink) {
                PieceBuffer out(sink, size);
                for (const std::string_view head : heads) {
                    out.append(head);
                }
                entryLines(list, out);
                auto append = [&out](std::string_view piece) { out.append(piece); };
                groupedEntries(names, append);
            }};
}

}  // namespace tessel::core
