// How long the server-list editor takes to open a list of a million names, and how long its OK
// takes to save the list and rewrite a keep-mode HOSTS file, against reading and writing the
// same bytes in the same run. Runs on a real window under the offscreen platform unless
// QT_QPA_PLATFORM says otherwise. Prints seconds and ratios; always exits 0.

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <string>

#include "bench/support/BenchPlatform.h"
#include "core/HostsText.h"
#include "core/ListEditor.h"
#include "platform/linux/PosixFileSystem.h"
#include "ui/ServersWindow.h"

namespace {

using Clock = std::chrono::steady_clock;
using tessel::platform::PosixFileSystem;

constexpr std::size_t kNames = 1'000'000;
constexpr double kOpenGoalSeconds = 1.0;
constexpr double kOkGoalSeconds = 0.5;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Names of varied length and letter case in no particular order, with the odd empty line, the
// way a list grown by hand over years looks. The same every run.
std::string makeList() {
    static constexpr const char* kParts[] = {"ad",    "ads",  "track", "pixel",  "stat",   "serv",
                                             "media", "cdn",  "click", "beacon", "banner", "tag",
                                             "sync",  "metr", "img",   "rtb"};
    static constexpr const char* kTops[] = {".com", ".net", ".org", ".de", ".io", ".co.uk"};
    std::uint64_t seed = 0x2545F4914F6CDD1DULL;
    auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return seed;
    };
    std::string list;
    list.reserve(kNames * 26);
    for (std::size_t i = 0; i < kNames; ++i) {
        if (i % 5000 == 4999) {
            list.append("\r\n");
        }
        std::string name = kParts[next() % 16];
        name += std::to_string(next() % 100000);
        name += '.';
        name += kParts[next() % 16];
        name += kParts[next() % 16];
        name += kTops[next() % 6];
        if (next() % 10 == 0) {
            name[0] = static_cast<char>(name[0] - 'a' + 'A');
        }
        list.append(name).append("\r\n");
    }
    return list;
}

std::string makeHosts(const std::string& list) {
    return "127.0.0.1\tlocalhost\r\n::1\tlocalhost ip6-localhost\r\n192.168.1.20\tnas\r\n" +
           tessel::core::keepModeBlock(list);
}

void settle() {
    for (int pass = 0; pass < 3; ++pass) {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

struct Paths final {
    std::string list;
    std::string copy;
    std::string hosts;
};

bool check(const tessel::platform::Status& status, const char* what) {
    if (!status.ok()) {
        std::printf("  %s failed: %s\n", what, status.error().c_str());
    }
    return status.ok();
}

double baseline(PosixFileSystem& files, const Paths& paths) {
    const auto start = Clock::now();
    const auto bytes = files.readFile(paths.list);
    (void)check(files.writeFile(paths.copy, bytes.bytes), "baseline write");
    return since(start);
}

struct Opening final {
    double load = 0;
    double fill = 0;
    double events = 0;
    double total() const { return load + fill + events; }
};

Opening open(PosixFileSystem& files, const Paths& paths, tessel::ui::ServersWindow& window) {
    Opening opening;
    auto start = Clock::now();
    const auto list = files.readFile(paths.list);
    const std::string text = tessel::core::loadForEditing(list.bytes);
    opening.load = since(start);
    start = Clock::now();
    window.setListText(text);
    window.show();
    opening.fill = since(start);
    start = Clock::now();
    settle();
    opening.events = since(start);
    return opening;
}

struct Saving final {
    double text = 0;
    double save = 0;
    double hosts = 0;
    double total() const { return text + save + hosts; }
};

// What giveBackHostsFile and makeHostsFile do in keep mode.
void rewriteHosts(PosixFileSystem& files, const Paths& paths) {
    const auto current = files.readFile(paths.hosts);
    if (const auto restored = tessel::core::restoreKeepMode(current.bytes)) {
        (void)check(files.writeFile(paths.hosts, *restored), "HOSTS restore");
    }
    const auto list = files.readFile(paths.list);
    auto hosts = files.readFile(paths.hosts);
    hosts.bytes.append(tessel::core::keepModeBlock(list.bytes));
    (void)check(files.writeFile(paths.hosts, hosts.bytes), "HOSTS write");
}

Saving ok(PosixFileSystem& files, const Paths& paths, const tessel::ui::ServersWindow& window) {
    Saving saving;
    auto start = Clock::now();
    const std::string cleaned = tessel::core::collapseLineBreaks(window.listText());
    saving.text = since(start);
    start = Clock::now();
    (void)check(files.writeFile(paths.list, tessel::core::savedList(cleaned)), "list write");
    saving.save = since(start);
    start = Clock::now();
    rewriteHosts(files, paths);
    saving.hosts = since(start);
    return saving;
}

void report(const char* label, double seconds, double base) {
    std::printf("  %-44s %8.3f s  %7.1f x baseline\n", label, seconds, seconds / base);
}

void printFigures(double base, const Opening& opening, const Saving& saving, double refill) {
    std::printf("  %-44s %8.3f s\n", "baseline: read + write the list's bytes", base);
    report("open: read, clean, sort, join", opening.load, base);
    report("open: fill the text box, show", opening.fill, base);
    report("open: events until idle", opening.events, base);
    report("open: total", opening.total(), base);
    report("OK: text from the box, collapse", saving.text, base);
    report("OK: save the list", saving.save, base);
    report("OK: restore + rewrite the HOSTS file", saving.hosts, base);
    report("OK: total", saving.total(), base);
    report("(refilling the box with the cleaned text)", refill, base);
    std::printf("  goal: open < %.1f s %s, OK < %.1f s %s\n", kOpenGoalSeconds,
                opening.total() < kOpenGoalSeconds ? "met" : "MISSED", kOkGoalSeconds,
                saving.total() < kOkGoalSeconds ? "met" : "MISSED");
}

void run(PosixFileSystem& files, const Paths& paths) {
    const double base = baseline(files, paths);
    auto* window = new tessel::ui::ServersWindow(QIcon());
    const Opening opening = open(files, paths, *window);
    const Saving saving = ok(files, paths, *window);
    // serversOk puts the cleaned text back into the box before saving; this is what that costs.
    const auto start = Clock::now();
    window->setListText(tessel::core::collapseLineBreaks(window->listText()));
    settle();
    const double refill = since(start);
    delete window;
    printFigures(base, opening, saving, refill);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const tessel::bench::ScratchDirectory scratch("tessel-bench-editor");
    if (scratch.path().empty()) {
        std::printf("no temporary directory\n");
        return 0;
    }
    const std::string& directory = scratch.path();
    const Paths paths{directory + "/badHosts.dat", directory + "/copy.dat", directory + "/hosts"};
    PosixFileSystem files;
    const std::string list = makeList();
    if (check(files.writeFile(paths.list, list), "setup") &&
        check(files.writeFile(paths.hosts, makeHosts(list)), "setup")) {
        std::printf("editor: %zu names, %.1f MB list, locale collation %s\n", kNames,
                    static_cast<double>(list.size()) / 1e6, ::setlocale(LC_COLLATE, nullptr));
        run(files, paths);
    }
    return 0;
}
