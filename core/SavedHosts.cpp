#include "core/SavedHosts.h"

#include <charconv>

namespace tessel::core {
namespace {

constexpr std::string_view kVersion = "Tessel saved HOSTS file 1";

// The next LF-ended line of `record` from `pos`, moving `pos` past it.
std::optional<std::string_view> nextLine(std::string_view record, std::size_t& pos) {
    const std::size_t lf = record.find('\n', pos);
    if (lf == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view line = record.substr(pos, lf - pos);
    pos = lf + 1;
    return line;
}

bool readNumber(std::string_view& fields, unsigned long long& value, int base = 10) {
    const char* end = fields.data() + fields.size();
    const auto [next, error] = std::from_chars(fields.data(), end, value, base);
    if (error != std::errc() || next == fields.data()) {
        return false;
    }
    fields.remove_prefix(static_cast<std::size_t>(next - fields.data()));
    if (!fields.empty() && fields.front() == ' ') {
        fields.remove_prefix(1);
    }
    return true;
}

}  // namespace

std::string formatSavedHosts(const SavedHosts& saved) {
    char mode[16];
    const auto end = std::to_chars(mode, mode + sizeof mode, saved.mode, 8).ptr;
    std::string record(kVersion);
    record.append("\n").append(saved.hostsPath).append("\n");
    record.append(saved.existed ? "1 " : "0 ").append(std::to_string(saved.owner)).append(" ");
    record.append(std::to_string(saved.group)).append(" ").append(mode, end).append("\n");
    record.append(std::to_string(saved.bytes.size())).append("\n").append(saved.bytes);
    return record;
}

std::optional<SavedHosts> parseSavedHosts(std::string_view record) {
    std::size_t pos = 0;
    const auto version = nextLine(record, pos);
    const auto path = nextLine(record, pos);
    auto fields = nextLine(record, pos);
    auto size = nextLine(record, pos);
    if (!size || version != kVersion || path->empty()) {
        return std::nullopt;
    }
    unsigned long long existed = 0, owner = 0, group = 0, mode = 0, length = 0;
    if (!readNumber(*fields, existed) || existed > 1 || !readNumber(*fields, owner) ||
        !readNumber(*fields, group) || !readNumber(*fields, mode, 8) || !fields->empty() ||
        !readNumber(*size, length) || !size->empty() || length != record.size() - pos) {
        return std::nullopt;
    }
    return SavedHosts{std::string(*path),           existed == 1,
                      static_cast<unsigned>(owner), static_cast<unsigned>(group),
                      static_cast<unsigned>(mode),  std::string(record.substr(pos))};
}

}  // namespace tessel::core
