#include "hosts/HelperHostsFile.h"

#include <algorithm>

#include "core/ListEditor.h"
#include "core/ProgramPaths.h"

namespace tessel::hosts {
namespace {

// The merge gives the subscribed names each followed by LF, every one already a host name.
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

HelperHostsFile::HelperHostsFile(platform::MessageBox& box, platform::FileSystem& files,
                                 platform::Process& process, platform::HelperLink& helper,
                                 HostsFile& own, std::function<void()> recreatePrefsFile)
    : box_(box),
      files_(files),
      process_(process),
      helper_(helper),
      own_(own),
      recreatePrefsFile_(std::move(recreatePrefsFile)) {}

bool HelperHostsFile::makeHostsFile(const std::string& hostsPath, bool keep) {
    if (hostsPath != kSystemHostsPath) {
        return own_.makeHostsFile(hostsPath, keep);
    }
    auto list = files_.readFile(own_.listPath());
    if (!list.ok()) {
        box_.show("Error opening badHosts.dat: " + list.status.error());
        return false;
    }
    const lists::Merged merged = own_.merge(std::move(list.bytes));
    auto request = helper::Request::write(keep, readList(merged.list), splitNames(merged.names));
    std::erase_if(request.names, [](const std::string& name) { return name.empty(); });
    // The helper refuses a list with any such line; saying which is kinder than its refusal.
    const auto bad =
        std::find_if_not(request.names.begin(), request.names.end(),
                         [](const std::string& name) { return helper::isHostName(name); });
    if (bad != request.names.end()) {
        box_.show("Error opening badHosts.dat: \"" + *bad + "\" is not a host name.");
        return false;
    }
    return report(helper_.call(request));
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
