#pragma once

#include <optional>
#include <string>

#include "platform/FilePicker.h"

namespace tessel::platform {

inline constexpr int kFlagHideReadOnly = 0x4;
inline constexpr int kFlagFileMustExist = 0x1000;
inline constexpr int kCancelErrorNumber = 32755;

struct DialogError final {
    int number = 0;
    std::string description;
};

// A file-open dialog control: properties set before ShowOpen, FileName kept between uses.
class FileDialog final {
public:
    explicit FileDialog(FilePicker& picker) : picker_(picker) {}

    std::string filter = "All Files (*.*)|*.*";
    int flags = 0;
    std::string initDir;
    bool cancelError = false;
    std::string fileName;

    // Returns an error when the dialog failed, or was cancelled while cancelError is set (32755).
    // A cancel without cancelError returns normally and leaves fileName as it was.
    std::optional<DialogError> showOpen();

private:
    FilePicker& picker_;
};

}  // namespace tessel::platform
