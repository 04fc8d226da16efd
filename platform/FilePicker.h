#pragma once

#include <string>

namespace tessel::platform {

// What the platform's open and save dialogs are asked to do, and what they answered.
struct PickRequest final {
    std::string initDir;
    std::string fileName;
    std::string filter;
    bool mustExist = false;
};
struct PickResult final {
    enum class Kind { Chosen, Cancelled, Failed } kind = Kind::Cancelled;
    std::string value;  // the chosen path, or the failure's description
};

class FilePicker {
public:
    virtual ~FilePicker() = default;
    virtual PickResult pick(const PickRequest& request) = 0;
    // A file to write: a name that exists is asked about before it is chosen; `mustExist` is
    // ignored.
    virtual PickResult pickSave(const PickRequest& request) = 0;
};

}  // namespace tessel::platform
