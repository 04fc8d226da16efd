#pragma once

#include "platform/FilePicker.h"

namespace tessel::platform {

class QtFilePicker final : public FilePicker {
public:
    PickResult pick(const PickRequest& request) override;
    PickResult pickSave(const PickRequest& request) override;
};

}  // namespace tessel::platform
