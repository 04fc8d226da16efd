#include "app/Lists.h"

#include <QDateTime>
#include <chrono>
#include <cstdio>

#include "core/HostsText.h"
#include "core/Lines.h"

namespace tessel::app {
namespace {

// Past this many names the user hears what they cost before they are written.
constexpr std::size_t kCostlyNames = 200'000;

std::size_t namesOf(const core::Merged& merged) {
    return static_cast<std::size_t>(std::count(merged.list.begin(), merged.list.end(), '\n')) +
           merged.count;
}

// The cost of one lookup of a name that is not listed, in milliseconds: the time to go through
// the file the way the resolver does, line by line. Measured on the text in memory rather than
// with getaddrinfo: a name not in the file goes on to the network, whose time has nothing to do
// with the file, and the cost must be known before the file is written.
double lookupCost(const core::Merged& merged) {
    const std::string text = core::replaceModeText(merged.list, {}, merged.names);
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        // Kept, so the lookup is not optimised away.
        [[maybe_unused]] volatile bool found = core::resolverFinds(text, "name-not-listed.invalid");
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        best = run == 0 || took.count() < best ? took.count() : best;
    }
    return best;
}

std::string costText(const core::Merged& merged) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "%zu names. A lookup of a name that is not among them reads them all: "
                  "about %.1f ms each time.",
                  namesOf(merged), lookupCost(merged));
    return text;
}

}  // namespace

Lists::Lists(const Services& services, ui::MainWindow& window, const core::ProgramPaths& paths,
             Filtering& filtering, hosts::HostsFile& hosts)
    : services_(services),
      window_(window),
      paths_(paths),
      filtering_(filtering),
      subscriptions_(services, paths, [this] { filtering_.rewrite(); }) {
    hosts.setNamesProvider(
        [this](std::string list) { return subscriptions_.merge(std::move(list)); });
    connect(&subscriptions_, &Subscriptions::changed, this, &Lists::showStates);
    connect(&subscriptions_, &Subscriptions::progress, this, [this](qint64 received, qint64 total) {
        if (editor_ != nullptr) {
            editor_->setProgress(true, received, total);
        }
    });
}

Lists::~Lists() {
    delete editor_.data();
}

std::vector<ui::ListsWindow::Row> Lists::rows() const {
    std::vector<ui::ListsWindow::Row> rows;
    for (const auto& entry : subscriptions_.entries()) {
        const QString updated = entry.fetched == 0
                                    ? QString()
                                    : QDateTime::fromSecsSinceEpoch(entry.fetched)
                                          .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        rows.push_back({entry.url, entry.state, updated.toStdString(), entry.parsed.count});
    }
    return rows;
}

void Lists::open() {
    if (editor_ != nullptr) {
        editor_->bringToFront();
        return;
    }
    services_.zorder.setTopmost(platform::WindowId::Main, false);
    editor_ = new ui::ListsWindow(window_.windowIcon());
    editor_->setRows(rows());
    editor_->setAllowedText(subscriptions_.allowedText());
    measureCost();
    editor_->setProgress(subscriptions_.downloading(), 0, 0);
    connect(editor_, &ui::ListsWindow::okClicked, this, &Lists::ok);
    connect(editor_, &ui::ListsWindow::updateClicked, &subscriptions_, &Subscriptions::updateNow);
    connect(editor_, &ui::ListsWindow::unloaded, this, [this] {
        editor_ = nullptr;
        services_.zorder.setTopmost(platform::WindowId::Main, true);
    });
    editor_->show();
}

// What one lookup costs with the lists as they are, measured on the worker over the names as
// last published; the server list's bytes move into the merge.
void Lists::measureCost() {
    auto text = std::make_shared<std::string>();
    services_.worker.post(
        [text, path = paths_.list(), &files = services_.files, &subscriptions = subscriptions_] {
            auto list = files.readFile(path);
            *text =
                costText(subscriptions.merge(list.ok() ? std::move(list.bytes) : std::string()));
        },
        [this, text] {
            if (editor_ != nullptr) {
                editor_->setCost(*text);
            }
        });
}

void Lists::showStates() {
    if (editor_ == nullptr) {
        return;
    }
    editor_->showStates(rows());
    editor_->setProgress(subscriptions_.downloading(), 0, 0);
    if (!subscriptions_.downloading()) {
        measureCost();
    }
}

// Past kCostlyNames names the user hears what every lookup will cost, and may go back.
bool Lists::costAccepted(const std::vector<std::string>& urls, const std::string& allowed) {
    const auto list = services_.files.readFile(paths_.list());
    const auto merged = subscriptions_.merge(list.ok() ? list.bytes : std::string(), urls,
                                             core::AllowList(allowed));
    if (namesOf(merged) <= kCostlyNames) {
        return true;
    }
    return services_.box.show(costText(merged) +
                                  "\r\nEvery program on this machine pays that for each new "
                                  "name it looks up.\r\nWrite them to the HOSTS file?",
                              platform::Buttons::YesNo) == platform::Answer::Yes;
}

void Lists::ok() {
    const auto urls = editor_->urls();
    const std::string allowed = editor_->allowedText();
    if (!costAccepted(urls, allowed)) {
        return;
    }
    const auto status = subscriptions_.apply(urls, allowed);
    if (!status.ok()) {
        // The HOSTS file and the window stay as they were; the user may try again.
        services_.box.show("Error saving the lists: " + status.error());
        return;
    }
    filtering_.rewriteAndTell();
    subscriptions_.startRefreshing();
    if (editor_ != nullptr) {
        editor_->close();
    }
}

// An open Lists window gets the line too, so its OK does not take the name off again.
bool Lists::allow(const std::string& name) {
    const auto line = [&name](std::string text) {
        if (!text.empty() && text.back() != '\n') {
            text.append(core::kCrLf);
        }
        return text.append(name).append(core::kCrLf);
    };
    const auto status =
        subscriptions_.apply(subscriptions_.urls(), line(subscriptions_.allowedText()));
    if (!status.ok()) {
        services_.box.show("Error saving the allow list: " + status.error());
        return false;
    }
    if (editor_ != nullptr) {
        editor_->setAllowedText(line(editor_->allowedText()));
    }
    filtering_.rewriteAndTell();
    return true;
}

}  // namespace tessel::app
