#include <QCoreApplication>
#include <QEvent>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Harness.h"
#include "app/SessionEnd.h"
#include "core/HostsText.h"
#include "core/SavedHosts.h"
#include "platform/linux/Autostart.h"
#include "platform/linux/Privileges.h"

// The form's commands, each from a prefs.dat and a HOSTS file to the HOSTS file, tray icon,
// program end and messages they leave.
using namespace tessel;
using namespace tessel::testing;
using namespace std::string_literals;
using platform::Answer;
using Pick = platform::PickResult::Kind;

namespace {

const std::string kUser =
    "127.0.0.1\tlocalhost\n127.0.1.1\ttestbox.lan\ttestbox\n\n"
    "::1     localhost ip6-localhost ip6-loopback\nff02::1 ip6-allnodes\n";
// What replace mode keeps of it: the lines that name this machine.
const std::string kMachine =
    "127.0.0.1\tlocalhost\r\n127.0.1.1\ttestbox.lan\ttestbox\r\n"
    "::1     localhost ip6-localhost ip6-loopback\r\n";
const std::string kKept = kUser + core::keepModeBlock(kListText);
const std::string kReplaced = core::replaceModeText(kListText, kMachine);
const std::string kLeftover = core::replaceModeText("old.example\r\n");
const std::string kSaved = kDir + "/data/hosts-before-tessel.dat";
const std::string kPicture = kDir + "/data/Tessel.gif";
// A user's file bigger than the writer's pieces, a million names, and the two written in keep
// mode, made apart from the writer.
const auto [kBig, kMillion, kBigKept] = [] {
    std::string big, list, kept = "\r\n\r\n#Following lines created by Tessel:\r\n";
    while (big.size() <= std::size_t{1} << 20) {
        big += kUser;
    }
    for (int i = 0; i < 1'000'000; ++i) {
        list += "ads" + std::to_string(i) + ".example\r\n";
        kept += "127.0.0.1   ads" + std::to_string(i) + ".example\r\n";
    }
    return std::tuple(big, list, big + kept);
}();

void sendQuit() {
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
}

using H = Harness;
using Verb = std::function<void(H&, const std::string&)>;
const std::map<std::string, std::string> kPaths{
    {"hosts", kHosts}, {"list", kList}, {"prefs", kPrefs}, {"saved", kSaved}};

// What a scenario does, a word at a time; any other word clicks the control of that name.
const std::map<std::string, Verb> kVerbs{
    {"start", [](H& h, auto&) { h.form->load(); }},
    {"end", [](H& h, auto&) { h.form->sessionEnding(); }},
    {"quiet", [](H& h, auto&) { h.form->giveBackQuietly(); }},
    // The session manager's Die reaches the application as a quit request.
    {"quit",
     [](H& h, auto&) {
         const app::SessionEnd end([&h] { h.form->sessionEnding(); }, nullptr);
         sendQuit();
     }},
    // Two more requests while the first one's report waits for its answer.
    {"quitAgain",
     [](H& h, auto&) {
         h.box.whileShown = [&h] {
             if (h.box.shown.size() < 3) {
                 sendQuit();
             }
         };
     }},
    {"second", [](H& h, auto&) { h.instance.running = true; }},
    {"listenFails",
     [](H& h, auto& n) {
         h.listener.failures.push_back({std::stoi(n), "refused"});
     }},
    {"helperGone",
     [](H& h, auto&) {
         h.listener.failures.push_back({0, "Error talking to tessel-helper: it ended", true});
     }},
    {"Yes", [](H& h, auto&) { h.box.answers.push_back(Answer::Yes); }},
    {"No", [](H& h, auto&) { h.box.answers.push_back(Answer::No); }},
    {"Cancel", [](H& h, auto&) { h.box.answers.push_back(Answer::Cancel); }},
    {"Ok", [](H& h, auto&) { h.box.answers.push_back(Answer::Ok); }},
    {"pick",
     [](H& h, auto& path) {
         h.picker.results.push_back({Pick::Chosen, path});
     }},
    {"pickFails",
     [](H& h, auto&) {
         h.picker.results.push_back({Pick::Failed, "No dialog"});
     }},
    {"full", [](H& h, auto& file) { h.files.failWrite.insert(kPaths.at(file)); }},
    // Full until the first report of it is shown.
    {"fullOnce",
     [](H& h, auto& file) {
         h.files.failWrite.insert(kPaths.at(file));
         h.box.whileShown = [&h] {
             if (h.box.shown.back().find("No space") != std::string::npos) {
                 h.files.failWrite.clear();
             }
         };
     }},
    {"unreadable", [](H& h, auto& file) { h.files.failRead.insert(kPaths.at(file)); }},
    // A block-list download that finishes while a message waits writes nothing.
    {"downloadWhileShown",
     [](H& h, auto&) {
         h.box.whileShown = [&h] {
             h.files.failWrite.clear();
             const int before = h.files.writes;
             FormAccess::listsDownloaded(*h.form);
             EXPECT_EQ(h.files.writes, before) << "the download wrote";
         };
     }},
    {"gone", [](H& h, auto& file) { h.files.files.erase(kPaths.at(file)); }},
    {"million", [](H& h, auto&) { h.files.files[kList] = kMillion; }},
    {"saved",
     [](H& h, auto&) {
         h.files.files[kSaved] = core::formatSavedHosts({kHosts, true, 0, 0, 0644, kUser});
     }},
    {"reply",
     [](H& h, auto& text) {
         EXPECT_NE(h.listener.connectAndSend().find(text), std::string::npos);
     }},
    {"listenFirst",
     [](H& h, auto&) {
         h.listener.onListen = [&h, was = h.files.files[kHosts]] {
             EXPECT_EQ(h.files.files[kHosts], was);
         };
     }},
    {"noEditor", [](H& h, auto&) { EXPECT_EQ(h.form->servers(), nullptr); }},
    // An autostart entry an earlier run made, and a file where its directory would be.
    {"entry", [](H&, auto&) { (void)platform::startAtLogin(true, "/earlier/tessel"); }},
    {"noRoom", [](H&, auto&) { std::ofstream(platform::configHome() + "/autostart"); }},
    // The program the entry starts; "none": there is no entry.
    {"entryRuns",
     [](H&, auto& program) {
         std::ifstream entry(platform::autostartEntryPath());
         const std::string text{std::istreambuf_iterator<char>(entry), {}};
         const bool found = text.find("\nExec=" + program + "\n") != std::string::npos;
         EXPECT_TRUE(program == "none" ? text.empty() : found) << text;
     }},
    {"closeFloater",
     [](H& h, auto&) { h.form->floater()->close(), QCoreApplication::processEvents(); }},
};

void run(Harness& h, const std::string& steps) {
    std::istringstream words(steps);
    // Nothing happens once the program has ended.
    for (std::string word; !h.process.ending() && std::getline(words, word, ' ');) {
        const auto equals = word.find('=');
        const auto verb = kVerbs.find(word.substr(0, equals));
        if (verb != kVerbs.end()) {
            verb->second(h, equals == std::string::npos ? "" : word.substr(equals + 1));
        } else if (auto* item =
                       h.form->window().findChild<QAction*>(QString::fromStdString(word))) {
            item->trigger();
        } else {
            h.form->servers()->findChild<QPushButton*>(QString::fromStdString(word))->click();
        }
    }
}

std::string checkedItems(const Harness& h) {
    std::string names;
    for (const QAction* item : h.form->window().findChildren<QAction*>()) {
        if (item->isChecked()) {
            names += item->objectName().toStdString() + " ";
        }
    }
    return names;
}

struct Row {
    const char* name;
    const char* keep;                   // line 5 of prefs.dat
    std::optional<std::string> before;  // the HOSTS file; nullopt: none
    std::string steps;
    std::optional<std::string> after;
    std::string state;  // running, paused, or ended
    std::string boxes;  // a part of each prompt shown, in order, each after a "|"
    std::optional<std::string> prefs = {};    // prefs.dat at the end; nullopt: unchanged
    std::optional<std::string> checked = {};  // the checked menu items, when looked at
};

constexpr auto kNone = std::nullopt;

const std::vector<Row> kRows{
    {"start listens before it writes", "True", kUser, "listenFirst start", kKept, "running", ""},
    {"second instance", "True", kUser, "second start", kUser, "ended", "already running"},
    {"port taken: a killed run's block is taken out", "True", kKept, "listenFails=10048 start",
     kUser, "ended", "port 80 is being used"},
    {"listening refused", "False", kUser, "listenFails=13 start", kUser, "ended",
     "WinSock: refused"},
    {"missing prefs.dat is recreated", "True", kUser, "gone=prefs start", kUser, "ended",
     "read prefs.dat: No such|recreated", prefsText("NotSet")},
    {"nothing is given back before start-up", "True", kLeftover, "saved quiet end", kLeftover,
     "ended", ""},
    {"keep mode makes a missing file", "True", kNone, "start menuExit2", "", "ended", ""},
    {"quiet give-back", "True", kUser, "start quiet", kUser, "running", ""},
    {"replace mode keeps this machine's names", "False", kUser, "start", kReplaced, "running", ""},
    {"quit request in replace mode", "False", kNone, "start quit", kNone, "ended", ""},
    {"quit during a failing give-back", "True", kUser, "start full=hosts quitAgain quit", kKept,
     "ended", "Error removing text from HOSTS file: No space"},
    {"keep give-back cannot read", "True", kUser, "start unreadable=hosts menuExit", kKept, "ended",
     "Error removing text from HOSTS file: Permission"},
    {"keep switched to replace", "True", kUser, "start No menuKeepReplace menuExit", kUser, "ended",
     "set to keep", prefsText("False")},
    {"replace switched to keep", "False", kUser, "start Yes menuKeepReplace2 menuExit", kUser,
     "ended", "set to replace", prefsText("True")},
    {"mode question cancelled", "False", kUser, "start Cancel menuKeepReplace", kReplaced,
     "running", "set to replace"},
    {"mode switched, prefs.dat not saved", "False", kUser,
     "start full=prefs Yes menuKeepReplace menuPause menuResume", kKept, "running",
     "set to replace|Error opening prefs.dat file: No space"},
    {"resume", "True", kUser, "start menuPause menuResume2", kKept, "running", ""},
    {"nothing is written back while paused", "True", kUser,
     "start menuPause unreadable=hosts quiet menuExit", kUser, "ended", ""},
    {"resume that cannot listen", "True", kUser, "start menuPause listenFails=10048 menuResume",
     kUser, "ended", "port 80 is being used"},
    {"resume with the helper gone", "True", kUser, "start menuPause helperGone menuResume", kKept,
     "ended", "it ended\r\nExiting Tessel."},
    {"server list OK while paused", "False", kUser, "start menuPause2 menuServers cmdOK", kUser,
     "paused", ""},
    {"server list OK", "True", kUser, "start menuServers2 cmdOK", kKept, "running",
     "Hosts file changed."},
    {"a rewrite whose give-back fails ends there", "True", kUser,
     "start menuServers full=hosts cmdOK", kKept, "ended", "Error removing text"},
    {"server list not saved", "True", kUser, "start menuServers full=list cmdOK", kKept, "running",
     "Error saving badHosts.dat: No space"},
    {"server list unreadable", "True", kUser, "start gone=list menuServers noEditor", kKept,
     "running", "Error opening badHosts.dat:\r\nNo such"},
    {"no success word after a failed write", "False", kNone,
     "start full=hosts No menuServers cmdOK", kNone, "running",
     "Error creating HOSTS file: No space"},
    {"failed write, prefs.dat not recreated", "False", kUser,
     "start menuPause full=hosts full=prefs menuResume", kUser, "running",
     "Error creating HOSTS file: No space|Error saving prefs file"},
    {"first run not saved", "NotSet", kUser, "Yes fullOnce=prefs Ok No start", kReplaced, "running",
     "Thanks|No space|not set to True or False|Continuing with errors"},
    {"keep mode cannot read", "True", kUser, "unreadable=hosts start", kUser, "ended",
     "Error appending to your existing HOSTS file: Permission"},
    {"keep mode cannot write", "True", kUser, "full=hosts start", kUser, "ended",
     "Error appending to your existing HOSTS file: No space"},
    {"a million names after a big file", "True", kBig, "million start", kBigKept, "running", ""},
    {"no list leaves a leftover alone", "False", kLeftover, "gone=list start menuExit", kLeftover,
     "ended", "Error opening badHosts.dat: No such"},
    {"a killed run's file is given back", "False", kLeftover, "saved start menuExit", kUser,
     "ended", ""},
    {"a Tessel file without its copy is given back as a file, never deleted", "False", kLeftover,
     "start menuExit", "", "ended", ""},
    {"a copy gone while filtering is said at exit", "False", kUser, "start gone=saved menuExit",
     kReplaced, "ended", "the copy kept"},
    {"a download during a failing exit writes nothing", "True", kUser,
     "start full=hosts downloadWhileShown menuExit", kKept, "ended", "Error removing text"},
    {"a file written since the kill stays", "False", "theirs\r\n", "saved start menuExit",
     "theirs\r\n", "ended", ""},
    {"a leftover without a copy", "False", core::replaceModeText("old.example\r\n", kMachine),
     "start menuExit", kMachine, "ended", ""},
    {"new HOSTS path from the next start", "True", kUser,
     "start pick=/srv/hosts menuAdvHosts2 menuExit", kUser, "ended", "Path changed.",
     prefsText("True", kPicture, "/srv/hosts")},
    {"new HOSTS path not saved", "True", kUser, "start full=prefs pick=/srv/hosts menuAdvHosts",
     kKept, "running", "Error opening prefs.dat file: No space"},
    {"not a HOSTS file", "True", kUser, "start pick=" + kList + " menuAdvHosts", kKept, "running",
     "is not a HOSTS file"},
    {"paths with CR, LF or NUL", "True", kUser,
     "start pick=/a\rb menuAdvHosts pick=/a\nb menuAdvHosts pick=/a\0b menuAdvHosts"s, kKept,
     "running", "line break|line break|line break"},
    {"dialogs cancelled or failing", "True", kUser,
     "start menuAdvHosts menuPath pickFails menuPath", kKept, "running", "Error: No dialog", kNone,
     "menuPicTessel menuPicTessel2 "},
    {"preset picture", "True", kUser, "start menuPicGray2 reply=/data/gray.gif", kKept, "running",
     "", prefsText("True", kDir + "/data/gray.gif"), "menuPicGray menuPicGray2 "},
    {"preset named in any case", "True", kUser, "start pick=/OPT/Tessel/DATA/GRAY.GIF menuPath",
     kKept, "running", "Picture set.", prefsText("True", "/OPT/Tessel/DATA/GRAY.GIF"),
     "menuPicGray menuPicGray2 "},
    {"another picture", "True", kUser, "start pick=/home/me/b.gif menuPath2 reply=/me/b.gif", kKept,
     "running", "Picture set.", prefsText("True", "/home/me/b.gif"), ""},
    {"preset not saved", "True", kUser, "start full=prefs menuPicBlack", kKept, "running",
     "Error opening prefs.dat file: No space", kNone, "menuPicBlack menuPicBlack2 "},
    {"floater", "True", kUser, "start menuFloater2", kKept, "running", "", kNone,
     "menuFloater menuPicTessel menuPicTessel2 "},
    {"floater closed", "True", kUser, "start menuFloater2 closeFloater", kKept, "running", "",
     kNone, "menuPicTessel menuPicTessel2 "},
    {"floater closed from the menu", "True", kUser, "start menuFloater menuFloater", kKept,
     "running", "", kNone, "menuPicTessel menuPicTessel2 "},
    {"first run, keep", "NotSet", kUser, "No start", kKept, "running",
     "Thanks|set to \"/etc/hosts\"", prefsText("True")},
    {"first run cancelled", "NotSet", kUser, "Cancel start", kUser, "ended", "Thanks"},
    {"first run, no HOSTS file", "NotSet", kNone, "Yes No start", core::replaceModeText(kListText),
     "running", "Thanks|non-standard|set to \"/etc/hosts\"", prefsText("False")},
    {"first run, path chosen", "NotSet", kNone, "No Yes pick=/srv/hosts start", kNone, "running",
     "Thanks|non-standard|select|set to \"/srv/hosts\"", prefsText("True", kPicture, "/srv/hosts")},
    {"first run, choice cancelled", "NotSet", kNone, "No Yes start", core::keepModeBlock(kListText),
     "running", "Thanks|non-standard|select|set to \"/etc/hosts\"", prefsText("True")},
    {"first run, path question cancelled", "NotSet", kNone, "Yes Cancel start", kNone, "ended",
     "Thanks|non-standard", prefsText("False")},
    {"first run, selection refused", "NotSet", kNone, "Yes Yes Cancel start", kNone, "ended",
     "Thanks|non-standard|select", prefsText("False")},
    {"start at login", "True", kUser, "start menuStartAtLogin entryRuns=/opt/tessel/tessel", kKept,
     "running", "", kNone, "menuPicTessel menuStartAtLogin menuPicTessel2 menuStartAtLogin2 "},
    {"start at login as found at start", "True", kUser, "entry start", kKept, "running", "", kNone,
     "menuPicTessel menuStartAtLogin menuPicTessel2 menuStartAtLogin2 "},
    {"start at login undone", "True", kUser, "entry start menuStartAtLogin2 entryRuns=none", kKept,
     "running", "", kNone, "menuPicTessel menuPicTessel2 "},
    {"start at login cannot be written", "True", kUser, "noRoom start menuStartAtLogin2", kKept,
     "running", "Error writing", kNone, "menuPicTessel menuPicTessel2 "},
};

TEST(Commands, LeaveTheHostsFileTrayAndMessages) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(platform::configHome() + "/autostart");
        Harness h(row.keep);
        if (row.before) {
            h.files.files[kHosts] = *row.before;
        }
        const std::string prefs = h.files.files[kPrefs];
        run(h, row.steps);
        const bool ended = h.process.ending();
        EXPECT_EQ(ended, row.state == "ended");
        const auto file = h.files.files.find(kHosts);
        const std::string after = file == h.files.files.end() ? "(none)" : file->second;
        EXPECT_TRUE(after == row.after.value_or("(none)")) << after.substr(0, 400);
        const char* tray = h.tray.picture == platform::TrayPicture::Running ? "running" : "paused";
        EXPECT_EQ(h.tray.present ? tray : "ended", row.state);
        EXPECT_TRUE(ended || h.listener.listening == (row.state == "running"));
        std::istringstream boxes(row.boxes);
        std::size_t shown = 0;
        for (std::string part; std::getline(boxes, part, '|'); ++shown) {
            const bool there = shown < h.box.shown.size();
            EXPECT_TRUE(there && h.box.shown[shown].find(part) != std::string::npos)
                << "no message holding " << part;
        }
        EXPECT_EQ(shown, h.box.shown.size()) << ::testing::PrintToString(h.box.shown);
        EXPECT_EQ(h.files.files[kPrefs], row.prefs.value_or(prefs));
        EXPECT_TRUE(!row.checked || *row.checked == checkedItems(h)) << checkedItems(h);
        const bool started = row.steps.find("start") != std::string::npos;
        EXPECT_TRUE(!ended || !started || h.files.files.count(kSaved) == 0)
            << "a kept copy outlived";
    }
}

}  // namespace
