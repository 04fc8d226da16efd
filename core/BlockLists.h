#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/Names.h"

// Block lists others publish, and the names the user exempts. Pure functions over bytes.
namespace tessel::core {

// A list past either limit is refused whole: it would make the HOSTS file, and with it every
// lookup on the machine, slower than any list is worth.
inline constexpr std::size_t kMostNames = 2'000'000;
inline constexpr std::size_t kMostBytes = std::size_t{256} << 20;

// lists.dat: one URL a line (http, https or file), `#` starting a comment. Lines that are no such
// URL are left out.
std::vector<std::string> parseUrls(std::string_view listsFile);
std::string formatUrls(const std::vector<std::string>& urls);

enum class Refusal { None, TooBig, TooManyNames };

// The names of one list, lower case, each followed by LF, in the order they first appear.
struct ParsedList final {
    std::string names;
    std::size_t count = 0;
    std::size_t badLines = 0;
    Refusal refusal = Refusal::None;
};

// Reads hosts-format lines (an address, then names), plain domain lines and adblock-style
// `||name^` lines, line by line, so a list may mix them. Comments, the machine's own names, bare
// addresses and every other adblock rule are skipped; a line that is none of these is bad, counted
// and skipped.
ParsedList parseList(std::string_view bytes);

// A name a resolver can look up, in lower case: labels of 1 to 63 letters, digits, hyphens and
// underscores, parted by single dots, 253 bytes at most.
bool isName(std::string_view name);

// allowed.dat: `name` exempts that name; `*.name` exempts the name and every name under it.
class AllowList final {
public:
    explicit AllowList(std::string_view allowedFile = {});
    bool empty() const { return names_.empty() && domains_.empty(); }
    // `name` in lower case.
    bool allows(std::string_view name) const;

private:
    // Looked up by string_view: a million lookups make no strings.
    using Names = std::unordered_set<std::string, NameHash, std::equal_to<>>;

    Names names_;
    Names domains_;
};

// The names of several lists (each a ParsedList's `names`) as one such text, each name once. Done
// when a list changes, so that writing the HOSTS file has only badHosts.dat left to merge with.
std::string combine(const std::vector<std::string_view>& names);

// What the HOSTS file gets: badHosts.dat's lines but those the allow list exempts, and the
// subscribed names (combine's result) that neither badHosts.dat, letter case ignored, nor the
// allow list holds, one per LF-ended line.
struct Merged final {
    std::string list;
    std::string names;
    std::size_t count = 0;
};
Merged merge(std::string_view badHosts, std::string_view subscribed, const AllowList& allow);

// Whether a resolver reading `hostsText` line by line would find `name` (lower case) on it; used
// to time a lookup of a name that is not there.
bool resolverFinds(std::string_view hostsText, std::string_view name);

}  // namespace tessel::core
