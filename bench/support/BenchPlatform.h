#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

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
    [[noreturn]] void endProgram() override { std::abort(); }

private:
    std::string directory_;
};

}  // namespace tessel::bench
