// The merged list in each DNS server's format: exactly the names the HOSTS file blocks (each word
// of a server-list line before a '#', and the subscribed names), never an allowed one, each once,
// and no word that is no name.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/BlockLists.h"
#include "core/Export.h"
#include "core/Lines.h"

namespace tessel::core {
namespace {

// The lines that are not comments.
std::string body(std::string_view text, std::string_view comment) {
    std::string kept;
    core::forEachLine(text, [&](std::string_view line) {
        if (!line.starts_with(comment)) {
            kept.append(line).push_back('\n');
        }
        return true;
    });
    return kept;
}

TEST(Export, ExactNamesInEachFormat) {
    const std::string list =
        "Ads.Example\r\n# a comment\r\nbad!name\r\n  two.example\tallowed.example # and a note\r\n"
        "three.example\r\nallowed.example\r\nads.example\r\n";
    const std::string subscribed =
        "sub.example\nads.example\ntwo.example\nx.allow.example\nallow.example\n";
    const AllowList allow("allowed.example\n*.allow.example\n");
    struct Row {
        ExportFormat format;
        const char* comment;
        std::string entries;
    };
    const Row rows[] = {
        {ExportFormat::Hosts, "#", "0.0.0.0 ads.example two.example three.example sub.example\n"},
        {ExportFormat::Dnsmasq, "#",
         "address=/ads.example/0.0.0.0\naddress=/ads.example/::\nserver=/*.ads.example/#\n"
         "address=/two.example/0.0.0.0\naddress=/two.example/::\nserver=/*.two.example/#\n"
         "address=/three.example/0.0.0.0\naddress=/three.example/::\nserver=/*.three.example/#\n"
         "address=/sub.example/0.0.0.0\naddress=/sub.example/::\nserver=/*.sub.example/#\n"},
        {ExportFormat::Unbound, "#",
         "server:\n"
         "    local-data: \"ads.example. A 0.0.0.0\"\n    local-data: \"ads.example. AAAA ::\"\n"
         "    local-data: \"two.example. A 0.0.0.0\"\n    local-data: \"two.example. AAAA ::\"\n"
         "    local-data: \"three.example. A 0.0.0.0\"\n    local-data: \"three.example. AAAA "
         "::\"\n"
         "    local-data: \"sub.example. A 0.0.0.0\"\n    local-data: \"sub.example. AAAA ::\"\n"},
        {ExportFormat::Rpz, ";",
         "$TTL 300\n@ IN SOA localhost. hostmaster.localhost. 7 3600 600 86400 300\n"
         "@ IN NS localhost.\nads.example CNAME .\ntwo.example CNAME .\nthree.example CNAME .\n"
         "sub.example CNAME .\n"},
        {ExportFormat::Adblock, "!",
         "||ads.example^\n||two.example^\n||three.example^\n||sub.example^\n"},
    };
    for (const Row& row : rows) {
        ExportSource source{list, subscribed, {"badHosts.dat"}, "now", "", &allow};
        source.serial = 7;
        const Exported exported = exportList(row.format, source);
        const std::string text = exported.text.whole();
        EXPECT_TRUE(body(text, row.comment) == row.entries && exported.names == 4 &&
                    exported.skipped == 1 && text.size() == exported.text.size &&
                    text.find(std::string(row.comment) + " 4 names") != std::string::npos)
            << static_cast<int>(row.format) << ":\n"
            << text;
    }
}

}  // namespace
}  // namespace tessel::core
