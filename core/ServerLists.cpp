#include "core/ServerLists.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <unordered_map>

#include "core/Lines.h"
#include "core/Names.h"

namespace tessel::core {
namespace {

class Placer final {
public:
    // The names the allow list exempts are blocked by none and never looked for.
    Placer(const std::vector<std::string_view>& names, const AllowList& allow,
           std::vector<std::size_t>& lists)
        : lists_(lists) {
        index_.reserve(names.size());
        for (std::size_t at = 0; at < names.size(); ++at) {
            if (allow.empty() || !allow.allows(names[at])) {
                index_.emplace(names[at], at);
            }
        }
    }
    bool done() const { return index_.empty(); }
    // False once every name is placed: the caller stops reading.
    bool place(std::string_view name, std::size_t list) {
        if (const auto found = index_.find(name); found != index_.end()) {
            lists_[found->second] = list;
            index_.erase(found);
        }
        return !index_.empty();
    }

private:
    std::unordered_map<std::string_view, std::size_t> index_;
    std::vector<std::size_t>& lists_;
};

void appendField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(field);
        return;
    }
    out.push_back('"');
    for (const char c : field) {
        out.append(c == '"' ? 2 : 1, c);
    }
    out.push_back('"');
}

std::string isoTime(std::int64_t unixSeconds) {
    using namespace std::chrono;
    const sys_seconds time{seconds{unixSeconds}};
    const auto day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ldZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), long(clock.hours().count()),
                  long(clock.minutes().count()), long(clock.seconds().count()));
    return text;
}

}  // namespace

std::vector<std::size_t> listsOfNames(const std::vector<std::string_view>& names,
                                      std::string_view badHosts,
                                      const std::vector<std::string_view>& subscribed,
                                      const AllowList& allow) {
    std::vector<std::size_t> lists(names.size(), kUnlisted);
    Placer placer(names, allow, lists);
    std::string key;
    forEachLine(badHosts, [&](std::string_view line) {
        key.assign(line);
        lowerInPlace(key);
        return placer.place(key, kServerListIndex);
    });
    for (std::size_t list = 0; list < subscribed.size() && !placer.done(); ++list) {
        forEachLine(subscribed[list],
                    [&](std::string_view name) { return placer.place(name, list + 1); });
    }
    return lists;
}

std::string serversCsv(const std::vector<CsvRow>& rows) {
    std::string out = "server,count,last seen,list\r\n";
    for (const CsvRow& row : rows) {
        appendField(out, row.server);
        out.append(",").append(std::to_string(row.count)).append(",");
        out.append(row.lastSeen == 0 ? std::string() : isoTime(row.lastSeen)).append(",");
        appendField(out, row.list);
        out.append(kCrLf);
    }
    return out;
}

}  // namespace tessel::core
