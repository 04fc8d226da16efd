#pragma once

// Scripted stand-ins for the platform services, so the program's logic runs in tests without a
// desktop, a real HOSTS file or a real port.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/FileDialog.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/RedirectListener.h"
#include "platform/SingleInstance.h"
#include "platform/Tray.h"
#include "platform/ZOrder.h"

namespace tessel::fakes {

using namespace tessel::platform;

// Thrown where the real program would stop, so a test sees the end without being killed.
struct ProgramEnded final : std::runtime_error {
    ProgramEnded() : std::runtime_error("program ended") {}
};

struct ShownBox final {
    std::string prompt;
    Buttons buttons;
    Icon icon;
    std::string title;
};

class FakeMessageBox final : public MessageBox {
public:
    std::vector<ShownBox> shown;
    std::deque<Answer> answers;  // next answers; when empty, Ok / Yes by the box's first button
    std::function<void()> whileShown;

    Answer show(const std::string& prompt, Buttons buttons, Icon icon,
                const std::string& title) override {
        shown.push_back({prompt, buttons, icon, title});
        if (whileShown) {
            whileShown();
        }
        if (!answers.empty()) {
            const Answer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
    }
    std::vector<std::string> prompts() const {
        std::vector<std::string> result;
        for (const auto& box : shown) {
            result.push_back(box.prompt);
        }
        return result;
    }
};

class FakePicker final : public FilePicker {
public:
    std::vector<PickRequest> requests;
    std::deque<PickResult> results;  // when empty, the dialog is cancelled

    PickResult pick(const PickRequest& request) override {
        requests.push_back(request);
        if (results.empty()) {
            return {PickResult::Kind::Cancelled, {}};
        }
        PickResult result = results.front();
        results.pop_front();
        return result;
    }
};

// Files in memory, with failures injected per path and operation.
class MemoryFileSystem final : public FileSystem {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> hidden;
    std::set<std::string> failRead, failWrite, failRemove;
    int writes = 0;

    ReadResult readFile(const std::string& path) override {
        ReadResult result;
        if (failRead.count(path) != 0) {
            result.status = Status::failure("Permission denied");
        } else if (auto it = files.find(path); it == files.end()) {
            result.missing = true;
            result.status = Status::failure("No such file or directory");
        } else {
            result.bytes = it->second;
        }
        return result;
    }
    Status writeFile(const std::string& path, std::string_view bytes) override {
        if (failWrite.count(path) != 0 || path.empty()) {
            return Status::failure("No space left on device");
        }
        ++writes;
        files[path] = std::string(bytes);
        return {};
    }
    std::map<std::string, Ownership> owners;
    Status writeFile(const std::string& path, std::string_view bytes,
                     const Ownership& ownership) override {
        Status status = writeFile(path, bytes);
        if (status.ok()) {
            owners[path] = ownership;
        }
        return status;
    }
    std::optional<Ownership> ownership(const std::string& path) override {
        if (files.count(path) == 0) {
            return std::nullopt;
        }
        const auto it = owners.find(path);
        return it != owners.end() ? it->second : Ownership{0, 0, 0644};
    }
    Status removeFile(const std::string& path) override {
        if (failRemove.count(path) != 0) {
            return Status::failure("Permission denied");
        }
        if (files.erase(path) == 0) {
            return Status::failure("No such file or directory");
        }
        return {};
    }
    std::vector<std::string> cleaned;
    void removeLeftovers(const std::string& directory) override { cleaned.push_back(directory); }
    bool fileExists(const std::string& path) override {
        return files.count(path) != 0 && hidden.count(path) == 0;
    }
};

class FakeProcess final : public Process {
public:
    std::string directory = "/opt/tessel";
    std::function<bool()> ticking;  // the repeating timer's function while it runs
    std::function<void()> onProcessEvents;
    int ended = 0;

    std::string host = "testbox";
    std::string programDirectory() const override { return directory; }
    std::string hostName() const override { return host; }
    void processEvents() override {
        tickUntilStopped();
        if (onProcessEvents) {
            onProcessEvents();
        }
    }
    void repeat(std::chrono::milliseconds, std::function<bool()> tick) override {
        ticking = std::move(tick);
    }
    [[noreturn]] void endProgram() override {
        ++ended;
        throw ProgramEnded();
    }
    // One interval passes.
    void tick() {
        if (ticking && !ticking()) {
            ticking = nullptr;
        }
    }
    void tickUntilStopped() {
        for (int ticks = 0; ticking && ticks < 1000; ++ticks) {
            tick();
        }
    }
};

class FakeInstance final : public SingleInstance {
public:
    bool running = false;
    bool previousInstance() override { return running; }
};

class FakeZOrder final : public ZOrder {
public:
    std::vector<std::pair<WindowId, bool>> calls;
    std::map<WindowId, bool> topmost;
    void setTopmost(WindowId window, bool on) override {
        calls.emplace_back(window, on);
        topmost[window] = on;
    }
};

class FakeTray final : public Tray {
public:
    bool present = false;
    TrayPicture picture = TrayPicture::Running;
    std::string tip;
    std::vector<std::string> log;

    void add(TrayPicture p, const std::string& t) override {
        present = true;
        picture = p;
        tip = t;
        log.push_back("add");
    }
    void modifyTip(const std::string& t) override {
        if (present) {
            tip = t;
        }
        log.push_back("tip " + t);
    }
    void setPicture(TrayPicture p) override {
        if (present) {
            picture = p;
        }
        log.push_back(p == TrayPicture::Running ? "running" : "paused");
    }
    void remove() override {
        present = false;
        log.push_back("remove");
    }
};

class FakeListener final : public RedirectListener {
public:
    Events events;
    bool listening = false;
    std::vector<std::uint16_t> ports;
    bool countOnlyListening = false;
    std::deque<ListenError> failures, countOnlyFailures;
    std::size_t open = 0;
    int closes = 0;

    void setEvents(Events e) override { events = std::move(e); }
    std::function<void()> onListen;

    std::optional<ListenError> listen(std::uint16_t port) override {
        ports.push_back(port);
        if (onListen) {
            onListen();
        }
        if (!failures.empty()) {
            ListenError error = failures.front();
            failures.pop_front();
            return error;
        }
        listening = true;
        return std::nullopt;
    }
    std::optional<ListenError> listenCountOnly(std::uint16_t port) override {
        ports.push_back(port);
        countOnlyListening = countOnlyFailures.empty();
        if (countOnlyListening) {
            return std::nullopt;
        }
        ListenError error = countOnlyFailures.front();
        countOnlyFailures.pop_front();
        return error;
    }
    void close() override {
        ++closes;
        listening = false;
        countOnlyListening = false;
        open = 0;
    }
    bool isListening() const override { return listening; }
    std::size_t openConnections() const override { return open; }

    // A browser connects and sends its request: returns the reply it was sent.
    std::string connectAndSend() {
        std::string reply(events.reply());
        events.served();
        return reply;
    }
};

}  // namespace tessel::fakes
