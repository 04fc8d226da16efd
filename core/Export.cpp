#include "core/Export.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <unordered_set>
#include <utility>

#include "core/BlockLists.h"
#include "core/EntryLines.h"
#include "core/Lines.h"
#include "core/Names.h"

namespace tessel::core {
namespace {

struct Style final {
    std::string_view name;
    std::string_view comment;  // what starts a comment line
    std::string_view what;
    std::string_view configure;  // the line for the server's configuration; FILE is the file
};

constexpr std::array<Style, 5> kStyles{{
    {"hosts", "#", "A HOSTS file: each name answers 0.0.0.0", "addn-hosts=FILE (dnsmasq)"},
    {"dnsmasq", "#", "dnsmasq configuration: each name answers 0.0.0.0 and ::", "conf-file=FILE"},
    {"unbound", "#", "Unbound configuration, a server: clause: each name answers 0.0.0.0 and ::",
     "include: \"FILE\""},
    {"rpz", ";", "A response-policy zone: each name answers NXDOMAIN (CNAME .)",
     "zone \"rpz.tessel\" { type primary; file \"FILE\"; }; and in options: response-policy "
     "{ zone \"rpz.tessel\"; };"},
    {"adblock", "!", "An adblock-style list: one ||name^ rule a name", "add FILE as a block list"},
}};

const Style& styleOf(ExportFormat format) {
    return kStyles[static_cast<std::size_t>(format)];
}

// One line of the text from its parts.
template <typename... Parts>
void line(PieceBuffer& out, const Parts&... parts) {
    (out.append(std::string_view(parts)), ...);
    out.append("\n");
}

struct Append final {
    PieceBuffer& out;
    void operator()(std::string_view piece) const { out.append(piece); }
};

void header(PieceBuffer& out, ExportFormat format, const ExportSource& source, std::size_t names) {
    const Style& style = styleOf(format);
    std::string configure(style.configure);
    const std::string file = source.file.empty() ? "/path/to/this/file" : source.file;
    configure.replace(configure.find("FILE"), 4, file);
    const std::string count = std::to_string(names);
    line(out, style.comment, " ", style.what, ", made by Tessel ", source.made, ".");
    line(out, style.comment, " ", count,
         " names, each blocked exactly: a name under a listed one is not blocked.");
    for (const std::string& from : source.from) {
        line(out, style.comment, " From ", from);
    }
    line(out, style.comment, " Add to the server's configuration: ", configure);
    if (format == ExportFormat::Rpz) {
        line(out, "$TTL 300");
        line(out, "@ IN SOA localhost. hostmaster.localhost. ", std::to_string(source.serial),
             " 3600 600 86400 300");
        line(out, "@ IN NS localhost.");
    } else if (format == ExportFormat::Unbound) {
        line(out, "server:");
    }
}

// One name at a time, in the format's own lines. For hosts, the HOSTS writer's packing: up to
// kNamesPerLine names to a line, no line past kMostLineBytes.
class Entries final {
public:
    Entries(PieceBuffer& out, ExportFormat format) : out_(out), format_(format) {
        if (format == ExportFormat::Hosts) {
            packer_.emplace(append_, "0.0.0.0 ", "\n");
        }
    }
    Entries(const Entries&) = delete;
    Entries& operator=(const Entries&) = delete;

    void add(std::string_view name) {
        switch (format_) {
            case ExportFormat::Hosts:
                return packer_->add(name);
            case ExportFormat::Dnsmasq:
                // address=/name/ takes every name under it too: those go on to the servers
                // dnsmasq asks (server=/*.name/#). Host records answer for the name alone but
                // take dnsmasq minutes to load by the million.
                line(out_, "address=/", name, "/0.0.0.0");
                line(out_, "address=/", name, "/::");
                return line(out_, "server=/*.", name, "/#");
            case ExportFormat::Unbound:
                // Local data with no zone of its own makes a transparent zone of the name alone.
                line(out_, "    local-data: \"", name, ". A 0.0.0.0\"");
                return line(out_, "    local-data: \"", name, ". AAAA ::\"");
            case ExportFormat::Rpz:
                return line(out_, name, " CNAME .");
            case ExportFormat::Adblock:
                return line(out_, "||", name, "^");
        }
    }

private:
    PieceBuffer& out_;
    ExportFormat format_;
    Append append_{out_};
    // The HOSTS writer's packing, for the hosts format.
    std::optional<NamePacker<Append>> packer_;
};

template <typename Fn>
void forEachWord(std::string_view text, Fn&& fn) {
    constexpr std::string_view kBlank = " \t";
    for (std::size_t start = text.find_first_not_of(kBlank); start != std::string_view::npos;) {
        const std::size_t end = std::min(text.find_first_of(kBlank, start), text.size());
        fn(text.substr(start, end - start));
        start = text.find_first_not_of(kBlank, end);
    }
}

}  // namespace

std::optional<ExportFormat> exportFormatNamed(std::string_view name) {
    for (std::size_t i = 0; i < kStyles.size(); ++i) {
        if (kStyles[i].name == name) {
            return static_cast<ExportFormat>(i);
        }
    }
    return std::nullopt;
}

std::string exportFormatNames() {
    std::string names;
    for (const Style& style : kStyles) {
        names.append(names.empty() ? "" : "|").append(style.name);
    }
    return names;
}

Exported exportList(ExportFormat format, const ExportSource& source) {
    Exported exported;
    // The text keeps the server list in lower case, which its words are views into.
    auto lowered = std::make_shared<std::string>(source.list);
    lowerInPlace(*lowered);
    const auto allowed = [allow = source.allow](std::string_view name) {
        return allow != nullptr && allow->allows(name);
    };
    // The server list is short next to the subscribed names: its words are gathered here, while
    // the subscribed names are looked through again as the text is made, never copied.
    auto listWords = std::make_shared<std::vector<std::string_view>>();
    auto listed = std::make_shared<std::unordered_set<std::string_view>>();
    // A server-list line blocks what the HOSTS file makes of it: each word before a '#'.
    forEachLine(*lowered, [&](std::string_view line) {
        forEachWord(line.substr(0, line.find('#')), [&](std::string_view word) {
            if (!isName(word)) {
                ++exported.skipped;
            } else if (!allowed(word) && listed->insert(word).second) {
                listWords->push_back(word);
            }
        });
        return true;
    });
    const auto exportable = [listed, allowed](std::string_view name) {
        return isName(name) && !allowed(name) && !listed->contains(name);
    };
    exported.names = listWords->size();
    forEachLine(source.names, [&](std::string_view name) {
        exported.names += exportable(name) ? 1 : 0;
        exported.skipped += !name.empty() && !isName(name) ? 1 : 0;
        return true;
    });
    auto write = [format, source, lowered, listWords, exportable,
                  count = exported.names](const PieceSink& sink) {
        PieceBuffer out(sink, std::numeric_limits<std::size_t>::max());
        header(out, format, source, count);
        Entries entries(out, format);
        for (const std::string_view word : *listWords) {
            entries.add(word);
        }
        forEachLine(source.names, [&](std::string_view name) {
            if (exportable(name)) {
                entries.add(name);
            }
            return true;
        });
    };
    std::size_t size = 0;
    write([&size](std::string_view piece) { size += piece.size(); });
    exported.text = {size, std::move(write)};
    return exported;
}

}  // namespace tessel::core
