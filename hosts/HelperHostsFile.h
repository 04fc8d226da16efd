#pragma once

#include <functional>
#include <string>

#include "hosts/HostsFile.h"
#include "hosts/HostsWriter.h"
#include "platform/HelperLink.h"

namespace tessel::hosts {

// /etc/hosts written and given back by `tessel-helper`, which holds the rights to it, with
// HostsFile's rules and messages (the helper runs HostsFile itself and sends back what it would
// show). Any other HOSTS file is the user's own and goes to `own`, written with the user's rights.
class HelperHostsFile final : public HostsWriter {
public:
    HelperHostsFile(platform::MessageBox& box, platform::Process& process,
                    platform::HelperLink& helper, HostsFile& own,
                    std::function<void()> recreatePrefsFile);
    HelperHostsFile(const HelperHostsFile&) = delete;
    HelperHostsFile& operator=(const HelperHostsFile&) = delete;

    bool makeHostsFile(const std::string& hostsPath, bool keep) override;
    void giveBackHostsFile(const std::string& hostsPath, bool keep) override;
    // The helper gives back its own kept copy when it starts; this is the one beside the list.
    bool giveBackLeftCopy() override { return own_.giveBackLeftCopy(); }

private:
    bool report(const helper::Reply& reply);

    platform::MessageBox& box_;
    platform::Process& process_;
    platform::HelperLink& helper_;
    HostsFile& own_;
    std::function<void()> recreatePrefsFile_;
};

}  // namespace tessel::hosts
