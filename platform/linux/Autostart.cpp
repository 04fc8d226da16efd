#include "platform/linux/Autostart.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/ProgramPaths.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/Privileges.h"

namespace tessel::platform {
namespace {

// How a desktop entry's Exec is read: a path with a reserved character is quoted whole,
// with ", `, $ and \ escaped inside; % is doubled, as it starts a field code. The value is then
// escaped once more as any string value is, so the backslashes and line breaks survive reading.
std::string execValue(const std::string& path) {
    constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    constexpr std::string_view kEscaped = "\"`$\\";
    std::string argument;
    for (const char c : path) {
        if (kEscaped.find(c) != std::string_view::npos) {
            argument += '\\';
        }
        argument += c == '%' ? std::string("%%") : std::string(1, c);
    }
    if (path.find_first_of(kReserved) != std::string::npos) {
        argument = std::string(1, '"').append(argument).append(1, '"');
    }
    std::string value;
    for (const char c : argument) {
        value += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
    }
    return value;
}

}  // namespace

std::string autostartEntryPath() {
    return configHome() + "/autostart/tessel.desktop";
}

std::string autostartEntry(const std::string& program) {
    std::string entry = "[Desktop Entry]\nType=Application\nName=Tessel\n";
    entry.append("Comment=Blocks advertising servers through the HOSTS file\nExec=");
    entry.append(execValue(program)).append("\nIcon=tessel\nTerminal=false\n");
    return entry;
}

bool startsAtLogin() {
    std::error_code ignored;
    return std::filesystem::exists(autostartEntryPath(), ignored);
}

Status startAtLogin(bool on, const std::string& program) {
    const std::string path = autostartEntryPath();
    std::error_code error;
    if (!on) {
        std::filesystem::remove(path, error);
        return error ? Status::failure(error.message()) : Status{};
    }
    std::filesystem::create_directories(core::parentDirectory(path), error);
    if (error) {
        return Status::failure(error.message());
    }
    return PosixFileSystem().writeFile(path, autostartEntry(program));
}

}  // namespace tessel::platform
