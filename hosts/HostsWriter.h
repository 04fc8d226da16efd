#pragma once

#include <string>

#include "core/HostsOutcome.h"

namespace tessel::hosts {

// Writing the HOSTS file and giving it back: directly with the user's own rights, or through the
// helper that holds the rights for /etc/hosts. Each says what became of it; the caller tells the
// user and decides whether the program goes on.
class HostsWriter {
public:
    virtual ~HostsWriter() = default;
    // Points every listed server at the local machine, replacing or appending as `keep` says.
    virtual core::Outcome makeHostsFile(const std::string& hostsPath, bool keep) = 0;
    // Gives the machine back the file as it was before it was written.
    virtual core::Outcome giveBackHostsFile(const std::string& hostsPath, bool keep) = 0;
    // Puts the kept copy back, as after a run killed while filtering.
    virtual core::Outcome giveBackLeftCopy() = 0;
};

}  // namespace tessel::hosts
