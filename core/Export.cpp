#include "core/Export.h"

#include <algorithm>
#include <array>
#include <memory>
#include <unordered_set>
#include <utility>

#include "core/BlockLists.h"
#include "core/HostsText.h"
#include "core/Lines.h"

namespace tessel::lists {
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

// Gathers the many short lines into pieces of a fixed size for the sink.
class Emitter final {
public:
    explicit Emitter(const text::PieceSink& sink) : sink_(sink) { buffer_.reserve(kPiece); }
    Emitter(const Emitter&) = delete;
    Emitter& operator=(const Emitter&) = delete;
    ~Emitter() {
        if (!buffer_.empty()) {
            sink_(buffer_);
        }
    }
    template <typename... Parts>
    void line(const Parts&... parts) {
        (buffer_.append(parts), ...);
        buffer_.push_back('\n');
        if (buffer_.size() >= kPiece) {
            sink_(buffer_);
            buffer_.clear();
        }
    }

private:
    static constexpr std::size_t kPiece = std::size_t{1} << 18;
    const text::PieceSink& sink_;
    std::string buffer_;
};

void header(Emitter& out, ExportFormat format, const ExportSource& source, std::size_t names) {
    const Style& style = styleOf(format);
    std::string configure(style.configure);
    const std::string file = source.file.empty() ? "/path/to/this/file" : source.file;
    configure.replace(configure.find("FILE"), 4, file);
    const std::string count = std::to_string(names);
    out.line(style.comment, " ", style.what, ", made by Tessel ", source.made, ".");
    out.line(style.comment, " ", count,
             " names, each blocked exactly: a name under a listed one is not blocked.");
    for (const std::string& from : source.from) {
        out.line(style.comment, " From ", from);
    }
    out.line(style.comment, " Add to the server's configuration: ", configure);
    if (format == ExportFormat::Rpz) {
        out.line("$TTL 300");
        out.line("@ IN SOA localhost. hostmaster.localhost. ", std::to_string(source.serial),
                 " 3600 600 86400 300");
        out.line("@ IN NS localhost.");
    } else if (format == ExportFormat::Unbound) {
        out.line("server:");
    }
}

// One name at a time, in the format's own lines. For hosts, the HOSTS writer's packing: up to
// kNamesPerLine names to a line, no line past kMostLineBytes.
class Entries final {
public:
    Entries(Emitter& out, ExportFormat format) : out_(out), format_(format) {}
    Entries(const Entries&) = delete;
    Entries& operator=(const Entries&) = delete;
    ~Entries() {
        if (onLine_ != 0) {
            out_.line(line_);
        }
    }

    void add(std::string_view name) {
        switch (format_) {
            case ExportFormat::Hosts:
                return pack(name);
            case ExportFormat::Dnsmasq:
                // address=/name/ takes every name under it too: those go on to the servers
                // dnsmasq asks (server=/*.name/#). Host records answer for the name alone but
                // take dnsmasq minutes to load by the million.
                out_.line("address=/", name, "/0.0.0.0");
                out_.line("address=/", name, "/::");
                return out_.line("server=/*.", name, "/#");
            case ExportFormat::Unbound:
                // Local data with no zone of its own makes a transparent zone of the name alone.
                out_.line("    local-data: \"", name, ". A 0.0.0.0\"");
                return out_.line("    local-data: \"", name, ". AAAA ::\"");
            case ExportFormat::Rpz:
                return out_.line(name, " CNAME .");
            case ExportFormat::Adblock:
                return out_.line("||", name, "^");
        }
    }

private:
    void pack(std::string_view name) {
        if (onLine_ == hosts::kNamesPerLine ||
            (onLine_ != 0 && line_.size() + 1 + name.size() + 1 > hosts::kMostLineBytes)) {
            out_.line(line_);
            onLine_ = 0;
        }
        if (onLine_ == 0) {
            line_ = "0.0.0.0";
        }
        line_.append(" ").append(name);
        ++onLine_;
    }

    Emitter& out_;
    ExportFormat format_;
    std::string line_;
    std::size_t onLine_ = 0;
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

Exported exportList(ExportFormat format, const ExportSource& source, std::string& lowered) {
    Exported exported;
    lowered = source.list;
    for (char& c : lowered) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const auto allowed = [allow = source.allow](std::string_view name) {
        return allow != nullptr && allow->allows(name);
    };
    // The server list is short next to the subscribed names: its words are gathered here, while
    // the subscribed names are looked through again as the text is made, never copied.
    auto listWords = std::make_shared<std::vector<std::string_view>>();
    auto listed = std::make_shared<std::unordered_set<std::string_view>>();
    // A server-list line blocks what the HOSTS file makes of it: each word before a '#'.
    text::forEachLine(lowered, [&](std::string_view line) {
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
    text::forEachLine(source.names, [&](std::string_view name) {
        exported.names += exportable(name) ? 1 : 0;
        exported.skipped += !name.empty() && !isName(name) ? 1 : 0;
        return true;
    });
    auto write = [format, source, listWords, exportable,
                  count = exported.names](const text::PieceSink& sink) {
        Emitter out(sink);
        header(out, format, source, count);
        Entries entries(out, format);
        for (const std::string_view word : *listWords) {
            entries.add(word);
        }
        text::forEachLine(source.names, [&](std::string_view name) {
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

}  // namespace tessel::lists
