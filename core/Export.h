#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/BlockLists.h"
#include "core/Pieces.h"

// The merged list for the DNS servers that block for a whole network, in each one's own format.
// Every format blocks exactly the names the HOSTS file blocks: a listed name, not the names under
// it.
namespace tessel::core {

enum class ExportFormat { Hosts, Dnsmasq, Unbound, Rpz, Adblock };

// The format a command line names ("hosts", "dnsmasq", "unbound", "rpz", "adblock").
std::optional<ExportFormat> exportFormatNamed(std::string_view name);
// The names, parted by '|', for a usage line.
std::string exportFormatNames();

struct ExportSource final {
    std::string_view list;             // badHosts.dat
    std::string_view names;            // the subscribed names, LF-ended, each once (combine)
    std::vector<std::string> from;     // the files and URLs the names came from, for the header
    std::string made;                  // when, for the header
    std::string file;                  // where it goes, for the configuration line; empty: unknown
    const AllowList* allow = nullptr;  // names never exported
    long long serial = 0;              // the zone's serial number, for rpz
};

// The text, made as it is written; it refers to the bytes the source's views see. `names` are the
// names in it, each once, in lower case: every word of a server-list line before a '#', as the
// HOSTS file reads it, and the subscribed names. `skipped` counts the words no resolver could look
// up (a character a name may not hold), left out rather than written broken.
struct Exported final {
    Pieces text;
    std::size_t names = 0;
    std::size_t skipped = 0;
};
Exported exportList(ExportFormat format, const ExportSource& source);

}  // namespace tessel::core
