#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/HelperLink.h"

namespace tessel::platform {

// `tessel-helper` started as this process's child, over a socket pair that is its standard
// input. When this process ends in any way its end of the pair closes, and the helper gives the
// HOSTS file back and ends too.
class HelperProcess;

// A started and greeted helper; or its refusal to serve; or why it could not run at all.
struct HelperStart final {
    std::unique_ptr<HelperProcess> link;
    std::optional<core::Reply> refusal;
    std::string error;
};

class HelperProcess final : public HelperLink {
public:
    static HelperStart start(const std::string& program);
    ~HelperProcess() override;
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    core::Reply call(const core::Request& request, int* socket = nullptr) override;

private:
    explicit HelperProcess(int socket) : socket_(socket) {}

    int socket_ = -1;
};

}  // namespace tessel::platform
