#include "hosts/HelperHostsFile.h"

#include <algorithm>

#include "core/ListEditor.h"

namespace tessel::hosts {
namespace {

// The merge gives the subscribed names each followed by LF.
std::vector<std::string> splitNames(std::string_view names) {
    std::vector<std::string> split;
    for (std::size_t end = names.find('\n'); end != std::string_view::npos;
         end = names.find('\n')) {
        split.emplace_back(names.substr(0, end));
        names.remove_prefix(end + 1);
    }
    return split;
}

core::Outcome outcomeOf(const core::Reply& reply) {
    return {reply.failure, reply.text, reply.number, reply.skipped, core::kSystemHostsPath};
}

}  // namespace

HelperHostsFile::HelperHostsFile(platform::HelperLink& helper, HostsFile& own)
    : helper_(helper), own_(own) {}

core::Outcome HelperHostsFile::makeHostsFile(const std::string& hostsPath, bool keep) {
    if (hostsPath != core::kSystemHostsPath) {
        return own_.makeHostsFile(hostsPath, keep);
    }
    core::Merged merged;
    if (auto outcome = own_.mergedList(merged); !outcome.ok()) {
        return outcome;
    }
    auto request =
        core::Request::write(keep, core::readList(merged.list), splitNames(merged.names));
    // Blank lines make no entry line on either path; they need not travel.
    std::erase_if(request.lines, [](const std::string& line) { return line.empty(); });
    return outcomeOf(helper_.call(request));
}

core::Outcome HelperHostsFile::giveBackHostsFile(const std::string& hostsPath, bool keep) {
    if (hostsPath != core::kSystemHostsPath) {
        return own_.giveBackHostsFile(hostsPath, keep);
    }
    return outcomeOf(helper_.call(core::Request::giveBack(keep)));
}

}  // namespace tessel::hosts
