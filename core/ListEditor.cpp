#include "core/ListEditor.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/Lines.h"

namespace tessel::core {
namespace {

constexpr std::size_t kShortestEntry = 2;
constexpr std::size_t kHeadBytes = sizeof(std::uint64_t);
constexpr std::size_t kPrefixBytes = kHeadBytes + sizeof(std::uint32_t);

template <typename Text>
std::vector<Text> splitLines(std::string_view bytes) {
    std::vector<Text> lines;
    lines.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    forEachLine(bytes, [&lines](std::string_view line) {
        lines.emplace_back(line);
        return true;
    });
    return lines;
}

template <typename Text>
void dropShort(std::vector<Text>& list) {
    std::size_t count = list.size();
    std::size_t position = 0;
    while (position < count) {
        if (list[position].size() >= kShortestEntry) {
            ++position;
            continue;
        }
        // The last entry still in the list moves in, and this position is looked at again.
        --count;
        if (position != count) {
            list[position] = std::move(list[count]);
        }
    }
    list.resize(count);
}

// An entry's place in the order is the locale's collation key of its lower-cased text. A key in
// a desktop's locale is some seven bytes a character, every level of the comparison one after the
// other, and a million of them would take over a hundred megabytes; but the first few dozen bytes
// nearly always decide. So the first kPrefixBytes ride along with the entry's position, so that
// most comparisons never leave the small array being sorted, the next kRestBytes are kept beside
// it, and only keys equal that far are compared whole, by the locale itself. Keys hold no NUL
// bytes, so zero padding sorts a shorter key first.
struct Keyed final {
    std::uint64_t head = 0;   // key bytes 0 to 7
    std::uint32_t tail = 0;   // key bytes 8 to 11
    std::uint32_t index = 0;  // four billion names make a file of over 12 GB
};

// With the twelve in Keyed, the first 39 bytes of a key: in a desktop locale the whole first level
// of most host names, the letters and digits.
constexpr std::size_t kRestBytes = 27;

// Key bytes from kPrefixBytes on, as far as kRestBytes of them.
struct Rest final {
    std::array<char, kRestBytes> bytes{};
    std::uint8_t length = 0;
    bool cut = false;  // the key goes on past these bytes
};

class Collation final {
public:
    explicit Collation(std::size_t entries) {
        for (std::size_t c = 0; c < lower_.size(); ++c) {
            lower_[c] = static_cast<char>(std::tolower(static_cast<int>(c)));
        }
        entries_.reserve(entries);
        rests_.reserve(entries);
    }

    // Text after an embedded NUL byte is not looked at; such entries tie and keep their order.
    Keyed add(std::string_view entry) {
        entry = entry.substr(0, entry.find('\0'));
        lower(entry, lowered_);
        std::size_t length = std::strxfrm(scratch_.data(), lowered_.c_str(), scratch_.size());
        if (length >= scratch_.size()) {
            scratch_.resize(length + 1);
            length = std::strxfrm(scratch_.data(), lowered_.c_str(), scratch_.size());
        }
        Keyed keyed{0, 0, static_cast<std::uint32_t>(rests_.size())};
        for (std::size_t i = 0; i < kPrefixBytes; ++i) {
            const auto byte = i < length ? static_cast<unsigned char>(scratch_[i]) : 0U;
            if (i < kHeadBytes) {
                keyed.head = (keyed.head << 8U) | byte;
            } else {
                keyed.tail = (keyed.tail << 8U) | byte;
            }
        }
        const std::size_t skip = std::min(kPrefixBytes, length);
        Rest rest;
        rest.length = static_cast<std::uint8_t>(std::min(kRestBytes, length - skip));
        rest.cut = length - skip > kRestBytes;
        std::memcpy(rest.bytes.data(), scratch_.data() + skip, rest.length);
        rests_.push_back(rest);
        entries_.push_back(entry);
        return keyed;
    }

    // Below, equal to or above zero as a sorts before, with or after b.
    int compare(const Keyed& a, const Keyed& b) const {
        if (a.head != b.head || a.tail != b.tail) {
            return a.head != b.head ? (a.head < b.head ? -1 : 1) : (a.tail < b.tail ? -1 : 1);
        }
        // Equal prefixes mean both keys are that long, or both are the same short key.
        const Rest& restA = rests_[a.index];
        const Rest& restB = rests_[b.index];
        const std::string_view kept(restA.bytes.data(), restA.length);
        const int order = kept.compare(std::string_view(restB.bytes.data(), restB.length));
        if (order != 0 || !restA.cut || !restB.cut) {
            // A key that stops here sorts before one that goes on.
            return order != 0 ? order : static_cast<int>(restA.cut) - static_cast<int>(restB.cut);
        }
        lower(entries_[a.index], lowered_);
        lower(entries_[b.index], other_);
        return std::strcoll(lowered_.c_str(), other_.c_str());
    }

private:
    void lower(std::string_view entry, std::string& into) const {
        into.assign(entry);
        for (char& c : into) {
            c = lower_[static_cast<unsigned char>(c)];
        }
    }

    std::array<char, 256> lower_{};
    mutable std::string lowered_;
    mutable std::string other_;
    std::string scratch_ = std::string(256, '\0');
    std::vector<std::string_view> entries_;
    std::vector<Rest> rests_;
};

// Positions of the entries in sorted order; entries that compare equal keep their order.
template <typename Text>
std::vector<std::size_t> sortedOrder(const std::vector<Text>& list) {
    Collation collation(list.size());
    std::vector<Keyed> keyed;
    keyed.reserve(list.size());
    for (const Text& entry : list) {
        keyed.push_back(collation.add(entry));
    }
    // Between equal entries their position decides, so they keep their order under the unstable
    // sort, which is the faster one.
    const auto before = [&collation](const Keyed& a, const Keyed& b) {
        const int order = collation.compare(a, b);
        return order < 0 || (order == 0 && a.index < b.index);
    };
    // A list the editor saved is already in order; checking costs one comparison per entry.
    if (!std::is_sorted(keyed.begin(), keyed.end(), before)) {
        std::sort(keyed.begin(), keyed.end(), before);
    }
    std::vector<std::size_t> order;
    order.reserve(keyed.size());
    for (const Keyed& k : keyed) {
        order.push_back(k.index);
    }
    return order;
}

}  // namespace

std::vector<std::string> readList(std::string_view bytes) {
    return splitLines<std::string>(bytes);
}

void removeShortEntries(std::vector<std::string>& list) {
    dropShort(list);
}

std::vector<std::string> sortArray(const std::vector<std::string>& list) {
    std::vector<std::string> sorted;
    sorted.reserve(list.size());
    for (const std::size_t index : sortedOrder(list)) {
        sorted.push_back(list[index]);
    }
    return sorted;
}

std::string loadForEditing(std::string_view bytes) {
    // The same steps as readList, removeShortEntries and sortArray, on views into `bytes`: a big
    // list is then copied once, into the result.
    std::vector<std::string_view> list = splitLines<std::string_view>(bytes);
    dropShort(list);
    std::string joined;
    joined.reserve(bytes.size() + list.size());
    bool first = true;
    for (const std::size_t index : sortedOrder(list)) {
        if (!first) {
            joined.append(kCrLf);
        }
        first = false;
        joined.append(list[index]);
    }
    return joined;
}

std::string collapseLineBreaks(std::string_view text) {
    std::string collapsed;
    collapsed.reserve(text.size());
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lineBreak = text.find(kCrLf, start);
        if (lineBreak == std::string_view::npos) {
            collapsed.append(text.substr(start));
            break;
        }
        collapsed.append(text.substr(start, lineBreak - start + kCrLf.size()));
        start = lineBreak + kCrLf.size();
        while (text.substr(start, kCrLf.size()) == kCrLf) {
            start += kCrLf.size();
        }
    }
    return collapsed;
}

std::string savedList(std::string_view collapsedText) {
    const std::size_t first = collapsedText.find_first_not_of(' ');
    std::string saved;
    if (first != std::string_view::npos) {
        const std::size_t last = collapsedText.find_last_not_of(' ');
        saved.reserve(last - first + 1 + kCrLf.size());
        saved.append(collapsedText.substr(first, last - first + 1));
    }
    saved.append(kCrLf);
    return saved;
}

}  // namespace tessel::core
