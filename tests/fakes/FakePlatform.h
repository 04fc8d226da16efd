#pragma once

// Scripted stand-ins for the platform services, so the program's logic runs in tests without a
// desktop, a real HOSTS file or a real port.

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/FilePicker.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/RedirectListener.h"
#include "platform/SingleInstance.h"
#include "platform/Tray.h"
#include "platform/Worker.h"
#include "platform/ZOrder.h"

namespace tessel::fakes {

using namespace tessel::platform;

// The next of the values a test scripted, if any are left.
template <typename T>
std::optional<T> next(std::deque<T>& scripted) {
    if (scripted.empty()) {
        return std::nullopt;
    }
    T value = std::move(scripted.front());
    scripted.pop_front();
    return value;
}

class FakeMessageBox final : public MessageBox {
public:
    std::vector<std::string> shown;    // the prompts, in order
    std::deque<Answer> answers;        // next answers; when empty, the box's first button
    std::function<void()> whileShown;  // runs while each box waits for its answer

    Answer show(const std::string& prompt, Buttons buttons, Icon, const std::string&) override {
        shown.push_back(prompt);
        if (whileShown) {
            whileShown();
        }
        const bool ok = buttons == Buttons::Ok || buttons == Buttons::OkCancel;
        return next(answers).value_or(ok ? Answer::Ok : Answer::Yes);
    }
};

class FakePicker final : public FilePicker {
public:
    std::deque<PickResult> results;  // when empty, the dialog is cancelled

    PickResult pickSave(const PickRequest& request) override { return pick(request); }
    PickResult pick(const PickRequest&) override {
        return next(results).value_or(PickResult{PickResult::Kind::Cancelled, {}});
    }
};

// Files in memory, with failures injected per path.
class MemoryFileSystem final : public FileSystem {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> failRead, failWrite;
    std::vector<std::string> cleaned;  // directories cleared of leftovers
    bool leftoversFinish = true;       // false: a cut rewrite is left unfinished
    int writes = 0;                    // writes that succeeded, of any file
    std::map<std::string, Ownership> owners;

    ReadResult readFile(const std::string& path) override {
        ReadResult result;
        const auto it = files.find(path);
        result.missing = it == files.end() && failRead.count(path) == 0;
        if (failRead.count(path) != 0 || result.missing) {
            result.status =
                Status::failure(result.missing ? "No such file or directory" : "Permission denied");
        } else {
            result.bytes = it->second;
        }
        return result;
    }
    Status writeFile(const std::string& path, std::string_view bytes) override {
        if (failWrite.count(path) != 0) {
            return Status::failure("No space left on device");
        }
        files[path] = std::string(bytes);
        ++writes;
        return {};
    }
    Status writeFile(const std::string& path, std::string_view bytes,
                     const Ownership& owner) override {
        Status status = writeFile(path, bytes);
        if (status.ok()) {
            owners[path] = owner;
        }
        return status;
    }
    // What a write with an owner gave the file; root's 0644 otherwise.
    std::optional<Ownership> ownership(const std::string& path) override {
        if (files.count(path) == 0) {
            return std::nullopt;
        }
        const auto owner = owners.find(path);
        return owner != owners.end() ? owner->second : Ownership{0, 0, 0644};
    }
    Status removeFile(const std::string& path) override {
        owners.erase(path);
        return files.erase(path) != 0 ? Status{} : Status::failure("No such file or directory");
    }
    void removeLeftovers(const std::string& directory) override { cleaned.push_back(directory); }
    bool removeLeftoversOf(const std::string& path, std::optional<unsigned>) override {
        cleaned.push_back(path);
        return leftoversFinish;
    }
    bool fileExists(const std::string& path) override { return files.count(path) != 0; }
};

class FakeProcess final : public Process {
public:
    std::function<bool()> ticking;  // the repeating timer's function while it runs
    std::function<void()> onProcessEvents;
    int ended = 0;

    std::string programDirectory() const override { return "/opt/tessel"; }
    std::string hostName() const override { return "testbox"; }
    void processEvents() override {
        tickUntilStopped();
        if (onProcessEvents) {
            onProcessEvents();
        }
    }
    void repeat(std::chrono::milliseconds, std::function<bool()> tick) override {
        ticking = std::move(tick);
    }
    void quit() override { ++ended; }
    bool ending() const override { return ended != 0; }
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

    void add(TrayPicture p, const std::string& t) override {
        present = true;
        picture = p;
        tip = t;
    }
    void modifyTip(const std::string& t) override { tip = present ? t : tip; }
    void setPicture(TrayPicture p) override { picture = present ? p : picture; }
    void remove() override { present = false; }
};

class FakeListener final : public RedirectListener {
public:
    Served served;
    Named named;
    std::string reply;
    bool listening = false;
    std::deque<ListenError> failures;  // the next listen() calls fail with these
    std::function<void()> onListen;

    void onServed(Served s) override { served = std::move(s); }
    void onNamed(Named n) override { named = std::move(n); }
    void setReply(std::string r) override { reply = std::move(r); }
    std::optional<ListenError> listen(std::uint16_t) override {
        if (onListen) {
            onListen();
        }
        auto failure = next(failures);
        listening = !failure;
        return failure;
    }
    // The count-only port is always taken: that is no error.
    std::optional<ListenError> listenCountOnly(std::uint16_t) override {
        return ListenError{kAddressInUseNumber, "Address already in use"};
    }
    void close() override { listening = false; }
    bool isListening() const override { return listening; }
    std::size_t openConnections() const override { return 0; }

    // A browser connects and sends its request: returns the reply it was sent.
    std::string connectAndSend() {
        served(1);
        return reply;
    }
};

// Runs each job at once, on the caller's thread.
class FakeWorker final : public Worker {
public:
    void post(std::function<void()> job, std::function<void()> done) override {
        job();
        done();
    }
    void finish() override {}
};

}  // namespace tessel::fakes
