#pragma once

#include <string>

namespace tessel::hosts {

// Writing the HOSTS file and giving it back, reporting every failure itself: directly with the
// user's own rights, or through the helper that holds the rights for /etc/hosts.
class HostsWriter {
public:
    virtual ~HostsWriter() = default;
    // Points every listed server at the local machine, replacing or appending as `keep` says;
    // false when the file was left as it was.
    virtual bool makeHostsFile(const std::string& hostsPath, bool keep) = 0;
    // Gives the machine back the file as it was before it was written. A failure ends the
    // program, so a return means success.
    virtual void giveBackHostsFile(const std::string& hostsPath, bool keep) = 0;
    // Puts the kept copy back, as after a run killed while filtering; false when there is none.
    virtual bool giveBackLeftCopy() = 0;
};

}  // namespace tessel::hosts
