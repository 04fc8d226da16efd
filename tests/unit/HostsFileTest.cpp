// The HOSTS writer's give-back where its kept copy or its own block is not as it left them: what
// it writes, and what it says.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "core/HostsText.h"
#include "fakes/FakePlatform.h"
#include "hosts/HostsFile.h"

namespace tessel::fakes {
namespace {

const std::string kHosts = "/etc/hosts";
// No line of it names this machine, so a replaced file carries none of it.
const std::string kOriginal = "10.1.2.3 printer\n";

struct World final {
    FakeMessageBox box;
    MemoryFileSystem files;
    FakeProcess process;
    std::optional<hosts::HostsFile> hosts;

    World() {
        files.files[process.paths().list()] = "ad.example\r\n";
        files.files[kHosts] = kOriginal;
        restart();
    }
    // A new run of the program, as after a kill.
    void restart() { hosts.emplace(box, files, process, nullptr); }
    void forgetCopy() { files.files.erase(process.paths().savedHosts()); }
    bool ends(const std::function<void()>& step) {
        try {
            step();
        } catch (const ProgramEnded&) {
            return true;
        }
        return false;
    }
};

TEST(HostsFile, GivesBackWhatItCanAndSaysWhatItCannot) {
    struct Row {
        const char* what;
        std::function<void(World&)> steps;  // ending with the give-back
        std::optional<std::string> after;   // the HOSTS file; nothing: any, but a file
        const char* said;                   // the start of the one message, or ""
    };
    const Row rows[] = {
        {"a Tessel file whose copy is gone is no missing file: a file stays",
         [](World& w) {
             (void)w.hosts->makeHostsFile(kHosts, false);
             w.forgetCopy();
             w.restart();
             (void)w.hosts->makeHostsFile(kHosts, false);
             w.hosts->giveBackHostsFile(kHosts, false);
         },
         "", ""},
        {"replace mode whose copy is gone at give-back says so",
         [](World& w) {
             (void)w.hosts->makeHostsFile(kHosts, false);
             w.forgetCopy();
             w.hosts->giveBackHostsFile(kHosts, false);
         },
         std::nullopt, "Error deleting HOSTS file: the copy kept"},
        {"keep mode written three times leaves one block, and gives back the original",
         [](World& w) {
             for (int i = 0; i < 3; ++i) {
                 (void)w.hosts->makeHostsFile(kHosts, true);
             }
             EXPECT_EQ(w.files.files[kHosts], kOriginal + hosts::keepModeBlock("ad.example\r\n"));
             w.restart();
             w.hosts->giveBackHostsFile(kHosts, true);
         },
         kOriginal, ""},
    };
    for (const Row& row : rows) {
        World w;
        const bool ended = w.ends([&] { row.steps(w); });
        const auto file = w.files.files.find(kHosts);
        const bool fileAsExpected = row.after
                                        ? file != w.files.files.end() && file->second == *row.after
                                        : file != w.files.files.end();
        const std::string said = w.box.shown.empty() ? "" : w.box.shown.front();
        EXPECT_TRUE(fileAsExpected && said.starts_with(row.said) && ended == (*row.said != '\0') &&
                    w.box.shown.size() == (*row.said != '\0' ? 1U : 0U))
            << row.what << ": said \"" << said << "\"";
    }
}

}  // namespace
}  // namespace tessel::fakes
