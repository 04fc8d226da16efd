#include <QPushButton>

#include "Harness.h"
#include "core/HostsText.h"
#include "core/SavedHosts.h"

// What the machine's HOSTS file holds after a run: what was there before, whatever the mode, the
// switches and the failures in between.
using namespace tessel;
using namespace tessel::testing;
using platform::Answer;
using platform::PickResult;

namespace {

const std::string kDebian =
    "127.0.0.1\tlocalhost\n127.0.1.1\ttestbox.lan\ttestbox\n\n"
    "::1     localhost ip6-localhost ip6-loopback\nff02::1 ip6-allnodes\n";
const std::string kDebianMachine =
    "127.0.0.1\tlocalhost\r\n127.0.1.1\ttestbox.lan\ttestbox\r\n"
    "::1     localhost ip6-localhost ip6-loopback\r\n";
const std::string kListBytes = "ads.example.com\r\nbanner.example.net\r\n";
const std::string kSaved = kDir + "/data/hosts-before-tessel.dat";
const std::string kPortConflict = "Sorry, port 80 is being used by another application!";

struct Scenario {
    const char* name;
    const char* keep;
    std::optional<std::string> before;  // the HOSTS file at start; nullopt: none
    std::function<void(Harness&)> act;  // start-up included
    std::optional<std::string> after;   // nullopt: no file
    bool ended;
    std::optional<std::string> lastBox;  // "": no box at all
};

void PrintTo(const Scenario& row, std::ostream* out) {
    *out << row.name;
}

void exitNow(Harness& h) {
    h.form->menuExit_Click();
}

void clickOk(Harness& h) {
    h.trigger("menuServers");
    h.form->servers()->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
}

void pickHostsPath(Harness& h, const std::string& path) {
    h.picker.results.push_back({PickResult::Kind::Chosen, path});
    h.trigger("menuAdvHosts");
    EXPECT_EQ(h.files.files[kPrefs], prefsText(h.form->keepsHostsFile() ? "True" : "False"));
}

class GiveBack : public ::testing::TestWithParam<Scenario> {};

TEST_P(GiveBack, LeavesTheMachinesFile) {
    const Scenario& row = GetParam();
    Harness h(row.keep);
    if (row.before) {
        h.files.files[kHosts] = *row.before;
    }
    EXPECT_EQ(h.ends([&] { row.act(h); }), row.ended);
    const auto file = h.files.files.find(kHosts);
    EXPECT_EQ(file == h.files.files.end() ? std::nullopt : std::optional(file->second), row.after);
    if (row.lastBox) {
        EXPECT_EQ(h.box.shown.empty() ? "" : h.box.shown.back().prompt, *row.lastBox);
    }
    if (row.ended) {
        EXPECT_EQ(h.files.files.count(kSaved), 0U) << "the kept copy outlived its give-back";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, GiveBack,
    ::testing::Values(
        Scenario{"ReplaceExitPutsBackTheFile", "False", kDebian,
                 [](Harness& h) { h.form->Form_Load(), exitNow(h); }, kDebian, true, ""},
        Scenario{"ReplaceExitRemovesWhatWasNotThere", "False", std::nullopt,
                 [](Harness& h) { h.form->Form_Load(), exitNow(h); }, std::nullopt, true, ""},
        Scenario{"WhileFilteringTheMachineKeepsItsNames", "False", kDebian,
                 [](Harness& h) { h.form->Form_Load(); },
                 hosts::replaceModeText(kListBytes, kDebianMachine), false, ""},
        Scenario{"KeepSwitchedToReplaceGivesBackAsKept", "True", "user line\r\n",
                 [](Harness& h) {
                     h.form->Form_Load();
                     h.box.answers.push_back(Answer::No);
                     h.trigger("menuKeepReplace");
                     exitNow(h);
                 },
                 "user line\r\n", true, std::nullopt},
        Scenario{"ReplaceSwitchedToKeepPutsBackTheFile", "False", kDebian,
                 [](Harness& h) {
                     h.form->Form_Load();
                     h.box.answers.push_back(Answer::Yes);
                     h.trigger("menuKeepReplace");
                     exitNow(h);
                 },
                 kDebian, true, std::nullopt},
        Scenario{"ExitWhilePausedDoesNotWriteAgain", "True", "user\r\n",
                 [](Harness& h) {
                     h.form->Form_Load();
                     h.trigger("menuPause");
                     h.listener.failures.push_back({platform::kAddressInUseNumber, "in use"});
                     exitNow(h);
                 },
                 "user\r\n", true, ""},
        Scenario{"ResumeThatCannotListenGivesBack", "True", "user\r\n",
                 [](Harness& h) {
                     h.form->Form_Load();
                     h.trigger("menuPause");
                     h.listener.failures.push_back({platform::kAddressInUseNumber, "in use"});
                     h.form->menuResume_Click();
                 },
                 "user\r\n", true, kPortConflict},
        Scenario{"StartThatCannotListenTakesOutAKilledRunsBlock", "True",
                 "user\r\n" + hosts::keepModeBlock(kListBytes),
                 [](Harness& h) {
                     h.listener.failures.push_back({platform::kAddressInUseNumber, "in use"});
                     h.form->Form_Load();
                 },
                 "user\r\n", true, kPortConflict},
        Scenario{"ServerListOkWhilePausedLeavesTheFile", "False", kDebian,
                 [](Harness& h) {
                     h.form->Form_Load();
                     h.trigger("menuPause");
                     clickOk(h);
                 },
                 kDebian, false, ""},
        Scenario{"ResumeAfterServerListOkWritesIt", "False", kDebian,
                 [](Harness& h) {
                     h.form->Form_Load();
                     h.trigger("menuPause");
                     clickOk(h);
                     h.trigger("menuResume");
                 },
                 hosts::replaceModeText(kListBytes, kDebianMachine), false, ""},
        Scenario{"AKilledRunsFileIsGivenBackAtStart", "False",
                 hosts::replaceModeText("old.example\r\n"),
                 [](Harness& h) {
                     h.files.files[kSaved] =
                         hosts::formatSavedHosts({kHosts, true, 0, 0, 0644, kDebian});
                     h.form->Form_Load();
                     exitNow(h);
                 },
                 kDebian, true, ""},
        Scenario{"AFileReplacedSinceTheKillIsTheUsers", "False", "theirs\r\n",
                 [](Harness& h) {
                     h.files.files[kSaved] =
                         hosts::formatSavedHosts({kHosts, true, 0, 0, 0644, kDebian});
                     h.form->Form_Load();
                     exitNow(h);
                 },
                 "theirs\r\n", true, ""},
        Scenario{"ALeftoverWithoutCopyKeepsItsMachineLines", "False",
                 hosts::replaceModeText("old.example\r\n", "::1 localhost\r\n"),
                 [](Harness& h) { h.form->Form_Load(), exitNow(h); }, "::1 localhost\r\n", true,
                 ""},
        Scenario{"NoListLeavesALeftoverAlone", "False", hosts::replaceModeText("old.example\r\n"),
                 [](Harness& h) {
                     h.files.files.erase(kList);
                     h.form->Form_Load();
                     exitNow(h);
                 },
                 hosts::replaceModeText("old.example\r\n"), true, std::nullopt},
        Scenario{"NoSuccessWordAfterAFailedHostsWrite", "False", std::nullopt,
                 [](Harness& h) {
                     h.form->Form_Load();
                     h.files.failWrite.insert(kHosts);
                     h.box.answers.push_back(Answer::No);
                     clickOk(h);
                 },
                 std::nullopt, false,
                 "Error creating HOSTS file: No space left on device.\r\nYou either need to "
                 "change your HOSTS path, or prefs.dat could\r\nbe corrupted. Do you want to "
                 "recreate prefs.dat?"},
        Scenario{"NoSuccessWordAfterAFailedPathWrite", "True", "user\r\n",
                 [](Harness& h) {
                     h.form->Form_Load();
                     h.files.files["/srv/hosts"] = "";
                     h.files.failWrite.insert(kPrefs);
                     pickHostsPath(h, "/srv/hosts");
                 },
                 "user\r\n" + hosts::keepModeBlock(kListBytes), false,
                 "Error opening prefs.dat file: No space left on device"},
        Scenario{"RefusesAFileThatIsNotHosts", "True", "user\r\n",
                 [](Harness& h) {
                     h.form->Form_Load();
                     h.files.files["/etc/passwd"] = "# users\nroot:x:0:0:root:/root:/bin/sh\n";
                     pickHostsPath(h, "/etc/passwd");
                 },
                 "user\r\n" + hosts::keepModeBlock(kListBytes), false,
                 "\"/etc/passwd\" is not a HOSTS file: it has lines that are neither blank, nor "
                 "comments, nor an address followed by names.\r\nTessel goes on using "
                 "\"/etc/hosts\"."},
        Scenario{"RefusesAPathWithALineBreak", "True", "user\r\n",
                 [](Harness& h) {
                     h.form->Form_Load();
                     h.files.files["/srv/a\nb"] = "";
                     pickHostsPath(h, "/srv/a\nb");
                 },
                 "user\r\n" + hosts::keepModeBlock(kListBytes), false,
                 "The path \"/srv/a\nb\" holds a line break, which Tessel cannot store.\r\n"
                 "Please rename the file or choose another one."}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
