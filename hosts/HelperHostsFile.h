#pragma once

#include <string>

#include "hosts/HostsFile.h"
#include "hosts/HostsWriter.h"
#include "platform/HelperLink.h"

namespace tessel::hosts {

// /etc/hosts written and given back by `tessel-helper`, which holds the rights to it and runs
// HostsFile's rules itself, sending back what came of them. Any other HOSTS file is the user's own
// and goes to `own`, written with the user's rights.
class HelperHostsFile final : public HostsWriter {
public:
    HelperHostsFile(platform::HelperLink& helper, HostsFile& own);
    HelperHostsFile(const HelperHostsFile&) = delete;
    HelperHostsFile& operator=(const HelperHostsFile&) = delete;

    core::Outcome makeHostsFile(const std::string& hostsPath, bool keep) override;
    core::Outcome giveBackHostsFile(const std::string& hostsPath, bool keep) override;
    // The helper gives back its own kept copy when it starts; this is the one beside the list.
    core::Outcome giveBackLeftCopy() override { return own_.giveBackLeftCopy(); }

private:
    platform::HelperLink& helper_;
    HostsFile& own_;
};

}  // namespace tessel::hosts
