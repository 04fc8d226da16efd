#include "hosts/HelperHostsFile.h"

#include <algorithm>

#include "core/ListEditor.h"
#include "core/ProgramPaths.h"

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

}  // namespace

HelperHostsFile::HelperHostsFile(platform::MessageBox& box, platform::Process& process,
                                 platform::HelperLink& helper, HostsFile& own,
                                 std::function<void()> recreatePrefsFile)
    : box_(box),
      process_(process),
      helper_(helper),
      own_(own),
      recreatePrefsFile_(std::move(recreatePrefsFile)) {}

bool HelperHostsFile::makeHostsFile(const std::string& hostsPath, bool keep) {
    if (hostsPath != kSystemHostsPath) {
        return own_.makeHostsFile(hostsPath, keep);
    }
    const auto merged = own_.mergedList();
    if (!merged) {
        return false;
    }
    auto request = helper::Request::write(keep, readList(merged->list), splitNames(merged->names));
    // Blank lines make no entry line on either path; they need not travel.
    std::erase_if(request.lines, [](const std::string& line) { return line.empty(); });
    const helper::Reply reply = helper_.call(request);
    if (reply.ok && reply.skipped != 0) {
        box_.show(std::to_string(reply.skipped) + " line(s) of badHosts.dat were left out of " +
                  hostsPath +
                  ": a line may not hold a line break or a NUL byte, nor be longer than " +
                  std::to_string(helper::kMaxLineLength) + " bytes.");
    }
    return report(reply);
}

void HelperHostsFile::giveBackHostsFile(const std::string& hostsPath, bool keep) {
    if (hostsPath != kSystemHostsPath) {
        return own_.giveBackHostsFile(hostsPath, keep);
    }
    report(helper_.call(helper::Request::giveBack(keep)));
}

// The message the helper's HostsFile would have shown, shown here, with what follows it.
bool HelperHostsFile::report(const helper::Reply& reply) {
    if (reply.ok) {
        return true;
    }
    const auto answer =
        box_.show(reply.text, reply.asks ? platform::Buttons::YesNo : platform::Buttons::Ok);
    if (reply.ends) {
        process_.endProgram();
    }
    if (answer == platform::Answer::Yes && recreatePrefsFile_) {
        recreatePrefsFile_();
    }
    return false;
}

}  // namespace tessel::hosts
