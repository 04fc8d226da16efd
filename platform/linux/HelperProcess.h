#pragma once

#include <memory>
#include <string>

#include "platform/HelperLink.h"

namespace tessel::platform {

// `tessel-helper` started as this process's child, over a socket pair that is its standard
// input. When this process ends in any way its end of the pair closes, and the helper gives the
// HOSTS file back and ends too.
class HelperProcess final : public HelperLink {
public:
    // The started and greeted helper, or nothing with the reason in `error`.
    static std::unique_ptr<HelperProcess> start(const std::string& program, std::string& error);
    ~HelperProcess() override;
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    helper::Reply call(const helper::Request& request, int* socket = nullptr) override;

private:
    explicit HelperProcess(int socket) : socket_(socket) {}

    int socket_ = -1;
};

}  // namespace tessel::platform
