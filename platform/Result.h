#pragma once

#include <optional>
#include <string>
#include <utility>

namespace tessel::platform {

// The outcome of a file or socket operation: success, or the platform's description of the failure.
class [[nodiscard]] Status final {
public:
    Status() = default;
    static Status failure(std::string description, int number = 0) {
        return Status(std::move(description), number);
    }

    bool ok() const { return !error_.has_value(); }
    const std::string& error() const { return *error_; }
    // The system's error number, where the failure has one.
    int number() const { return number_; }

private:
    Status(std::string description, int number) : error_(std::move(description)), number_(number) {}
    std::optional<std::string> error_;
    int number_ = 0;
};

// Whole-file bytes, or the description of why they could not be read.
struct [[nodiscard]] ReadResult final {
    Status status;
    std::string bytes;
    bool missing = false;  // the file does not exist (as opposed to existing and unreadable)

    bool ok() const { return status.ok(); }
};

}  // namespace tessel::platform
