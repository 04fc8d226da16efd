#include "core/ListEditor.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/Lines.h"

namespace tessel::hosts {
namespace {

constexpr std::size_t kShortestEntry = 2;
constexpr std::size_t kHeadBytes = sizeof(std::uint64_t);
constexpr std::size_t kPrefixBytes = kHeadBytes + sizeof(std::uint32_t);

template <typename Text>
std::vector<Text> splitLines(std::string_view bytes) {
    std::vector<Text> lines;
    lines.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    text::forEachLine(bytes, [&lines](std::string_view line) {
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

// An entry's place in the order is the locale's collation key of its lower-cased text. The first
// bytes of each key ride along with its position, so that most comparisons never leave the small
// array being sorted; the rest lives in blocks shared by many keys. Keys hold no NUL bytes, so
// zero padding sorts a shorter key first.
struct Keyed final {
    std::uint64_t head = 0;   // key bytes 0 to 7
    std::uint32_t tail = 0;   // key bytes 8 to 11
    std::uint32_t index = 0;  // four billion names make a file of over 12 GB
};

// The part of a key after the bytes that ride in Keyed.
struct Rest final {
    const char* bytes = nullptr;
    std::size_t length = 0;
};

class Collation final {
public:
    explicit Collation(std::size_t entries) {
        for (std::size_t c = 0; c < lower_.size(); ++c) {
            lower_[c] = static_cast<char>(std::tolower(static_cast<int>(c)));
        }
        rests_.reserve(entries);
    }

    // Text after an embedded NUL byte is not looked at; such entries tie and keep their order.
    Keyed add(std::string_view entry) {
        lowered_.assign(entry.substr(0, entry.find('\0')));
        for (char& c : lowered_) {
            c = lower_[static_cast<unsigned char>(c)];
        }
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
        rests_.push_back(store(std::string_view(scratch_.data() + skip, length - skip)));
        return keyed;
    }

    bool less(const Keyed& a, const Keyed& b) const {
        if (a.head != b.head || a.tail != b.tail) {
            return a.head != b.head ? a.head < b.head : a.tail < b.tail;
        }
        // Equal prefixes mean both keys are that long, or both are the same short key.
        return key(a.index) < key(b.index);
    }

private:
    std::string_view key(std::uint32_t index) const {
        return {rests_[index].bytes, rests_[index].length};
    }

    // Blocks of a fixed size rather than one growing buffer: the keys of a million names in a
    // real locale take over a hundred megabytes, which a growing buffer would copy again and
    // again. A key that does not fit what is left starts a block of its own size or more.
    Rest store(std::string_view rest) {
        if (rest.empty()) {
            return {};
        }
        if (rest.size() > blockSize_ - used_) {
            blockSize_ = std::max(kBlockBytes, rest.size());
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize_));
            used_ = 0;
        }
        char* const at = blocks_.back().get() + used_;
        std::memcpy(at, rest.data(), rest.size());
        used_ += rest.size();
        return {at, rest.size()};
    }

    static constexpr std::size_t kBlockBytes = std::size_t{16} << 20;
    std::array<char, 256> lower_{};
    std::string lowered_;
    std::string scratch_ = std::string(256, '\0');
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockSize_ = 0;
    std::size_t used_ = 0;
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
    const auto less = [&collation](const Keyed& a, const Keyed& b) { return collation.less(a, b); };
    // A list the editor saved is already in order; checking costs one comparison per entry.
    if (!std::is_sorted(keyed.begin(), keyed.end(), less)) {
        std::stable_sort(keyed.begin(), keyed.end(), less);
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
            joined.append(text::kCrLf);
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
        const std::size_t lineBreak = text.find(text::kCrLf, start);
        if (lineBreak == std::string_view::npos) {
            collapsed.append(text.substr(start));
            break;
        }
        collapsed.append(text.substr(start, lineBreak - start + text::kCrLf.size()));
        start = lineBreak + text::kCrLf.size();
        while (text.substr(start, text::kCrLf.size()) == text::kCrLf) {
            start += text::kCrLf.size();
        }
    }
    return collapsed;
}

std::string savedList(std::string_view collapsedText) {
    const std::size_t first = collapsedText.find_first_not_of(' ');
    std::string saved;
    if (first != std::string_view::npos) {
        const std::size_t last = collapsedText.find_last_not_of(' ');
        saved.reserve(last - first + 1 + text::kCrLf.size());
        saved.append(collapsedText.substr(first, last - first + 1));
    }
    saved.append(text::kCrLf);
    return saved;
}

}  // namespace tessel::hosts
