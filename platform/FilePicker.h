#pragma once

#include <string>

namespace tessel::platform {

// What the platform's open dialog is asked to do, and what it answered.
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
};

}  // namespace tessel::platform
