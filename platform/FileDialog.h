#pragma once

#include <optional>
#include <string>

namespace tessel::platform {

inline constexpr int kFlagHideReadOnly = 0x4;
inline constexpr int kFlagFileMustExist = 0x1000;
inline constexpr int kCancelErrorNumber = 32755;

struct DialogError final {
    int number = 0;
    std::string description;
};

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
