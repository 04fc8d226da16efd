#pragma once

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace tessel::bench {

// A benchmark measures the path that shows no message: any message means it measured something
// else, so it stops at once and says which.
class AbortingBox final : public platform::MessageBox {
public:
    platform::Answer show(const std::string& prompt, platform::Buttons, platform::Icon,
                          const std::string&) override {
        std::fprintf(stderr, "unexpected message: %s\n", prompt.c_str());
        std::abort();
    }
};

// A program directory of the benchmark's own, and no event loop.
class BenchProcess final : public platform::Process {
public:
    explicit BenchProcess(std::string directory) : directory_(std::move(directory)) {}
    std::string programDirectory() const override { return directory_; }
    std::string hostName() const override { return "bench"; }
    void processEvents() override {}
    void repeat(std::chrono::milliseconds, std::function<bool()>) override {}
    void quit() override { std::abort(); }
    bool ending() const override { return false; }

private:
    std::string directory_;
};

// A fresh directory under the system's temporary one, removed with all it holds when the
// benchmark ends, however it ends short of a crash. Forked children leave it to their parent.
class ScratchDirectory final {
public:
    explicit ScratchDirectory(const std::string& name) {
        std::string pattern = (std::filesystem::temp_directory_path() / name).string() + "-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ScratchDirectory() {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // Empty when no directory could be made.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace tessel::bench
