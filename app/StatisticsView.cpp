#include "app/StatisticsView.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <ctime>
#include <map>

#include "core/ServerLists.h"
#include "platform/qt/Text.h"

namespace tessel::app {
namespace {

using ui::HourChart;

constexpr int kRefreshMs = 500;
constexpr int kWeekHours = 7 * 24;
constexpr int kDays = 90;
const std::string kServerListName = "Server list";

std::int64_t startOf(QDate day) {
    return day.startOfDay().toSecsSinceEpoch();
}

// The last week by hour, a label where a local day begins.
std::vector<HourChart::Bar> hourBars(const std::vector<std::uint64_t>& hours, core::Hour first) {
    std::vector<HourChart::Bar> bars;
    QDate previous;
    for (std::size_t at = 0; at < hours.size(); ++at) {
        const QDateTime start =
            QDateTime::fromSecsSinceEpoch((first + static_cast<core::Hour>(at)) * 3600);
        const bool newDay = start.date() != previous && at != 0;
        previous = start.date();
        bars.push_back(
            {hours[at], newDay ? start.toString(QStringLiteral("ddd MM-dd")) : QString()});
    }
    return bars;
}

// The last kDays local days, each the whole hours that begin on it, a label on Mondays.
std::vector<HourChart::Bar> dayBars(const core::Statistics& statistics, QDate today,
                                    core::Hour now) {
    const QDate firstDay = today.addDays(1 - kDays);
    const core::Hour first = core::hourOf(startOf(firstDay));
    const auto hours = statistics.hourly(first, static_cast<std::size_t>(now - first + 1));
    std::vector<HourChart::Bar> bars;
    for (QDate day = firstDay; day <= today; day = day.addDays(1)) {
        const core::Hour from = core::hourOf(startOf(day)) - first;
        const core::Hour to = std::min<core::Hour>(core::hourOf(startOf(day.addDays(1))) - first,
                                                   static_cast<core::Hour>(hours.size()));
        std::uint64_t sum = 0;
        for (core::Hour hour = std::max<core::Hour>(from, 0); hour < to; ++hour) {
            sum += hours[static_cast<std::size_t>(hour)];
        }
        bars.push_back({sum, day.dayOfWeek() == Qt::Monday ? day.toString(QStringLiteral("MM-dd"))
                                                           : QString()});
    }
    return bars;
}

}  // namespace

StatisticsView::StatisticsView(const Services& services, ui::MainWindow& window,
                               const core::ProgramPaths& paths, StatisticsStore& store,
                               Lists& lists)
    : services_(services), main_(window), paths_(paths), store_(store), lists_(lists) {
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &StatisticsView::refresh);
}

StatisticsView::~StatisticsView() {
    delete window_.data();
}

void StatisticsView::open() {
    if (window_ != nullptr) {
        window_->bringToFront();
        return;
    }
    // The server list may have been edited since the window was last open.
    listOf_.clear();
    window_ = new ui::StatisticsWindow(main_.windowIcon());
    connectWindow();
    refresh();
    window_->show();
}

void StatisticsView::connectWindow() {
    connect(window_, &ui::StatisticsWindow::allowClicked, this, &StatisticsView::allow);
    connect(window_, &ui::StatisticsWindow::resetClicked, this, &StatisticsView::reset);
    connect(window_, &ui::StatisticsWindow::exportClicked, this, &StatisticsView::exportCsv);
    connect(window_, &ui::StatisticsWindow::rangeChanged, this, &StatisticsView::showChart);
    connect(window_, &ui::StatisticsWindow::unloaded, this, &StatisticsView::closed);
    const auto later = [this] {
        if (!refreshTimer_.isActive()) {
            refreshTimer_.start();
        }
    };
    live_.push_back(connect(&store_, &StatisticsStore::changed, this, later));
    live_.push_back(connect(&lists_.subscriptions(), &Subscriptions::changed, this, [this, later] {
        listOf_.clear();
        later();
    }));
}

void StatisticsView::closed() {
    for (const auto& connection : live_) {
        disconnect(connection);
    }
    live_.clear();
    refreshTimer_.stop();
    listOf_.clear();
    window_ = nullptr;
}

void StatisticsView::refresh() {
    if (window_ == nullptr) {
        return;
    }
    const auto servers = store_.statistics().servers();
    placeNames(servers);
    std::vector<ui::StatisticsWindow::Server> rows;
    rows.reserve(servers.size());
    std::map<std::string, std::uint64_t> byList;
    for (const auto& server : servers) {
        rows.push_back(
            {server.name, server.count, server.lastSeen, std::string(listName(server.name))});
        byList[rows.back().list] += server.count;
    }
    window_->setServers(rows);
    std::vector<ui::StatisticsWindow::ListCount> counts;
    counts.push_back({kServerListName, byList[kServerListName]});
    for (const auto& entry : lists_.subscriptions().entries()) {
        counts.push_back({entry.url, byList[entry.url]});
    }
    counts.push_back({"Not on a list", byList[std::string()]});
    window_->setListCounts(counts);
    showChart();
}

// The totals go with the chart: both read the hours, and both move with the clock.
void StatisticsView::showChart() {
    if (window_ == nullptr) {
        return;
    }
    const auto& statistics = store_.statistics();
    const core::Hour now = core::hourOf(std::time(nullptr));
    const core::Hour first = now - kWeekHours + 1;
    const auto week = statistics.hourly(first, kWeekHours);
    const QDate today = QDate::currentDate();
    std::uint64_t todays = 0;
    std::uint64_t weeks = 0;
    for (std::size_t at = 0; at < week.size(); ++at) {
        weeks += week[at];
        const bool sinceMidnight =
            first + static_cast<core::Hour>(at) >= core::hourOf(startOf(today));
        todays += sinceMidnight ? week[at] : 0;
    }
    window_->setTotals(todays, weeks, statistics.total());
    window_->setChart(window_->range() == ui::StatisticsWindow::Range::Hours
                          ? hourBars(week, first)
                          : dayBars(statistics, today, now));
}

// Only the names not yet placed are looked for, so a refresh that brings no new name reads no
// list at all.
void StatisticsView::placeNames(const std::vector<core::ServerCount>& servers) {
    std::vector<std::string_view> unknown;
    for (const auto& server : servers) {
        if (server.name != core::kNoName && server.name != core::kOthers &&
            !listOf_.contains(server.name)) {
            unknown.push_back(server.name);
        }
    }
    if (unknown.empty()) {
        return;
    }
    const auto badHosts = services_.files.readFile(paths_.list());
    std::vector<std::string_view> subscribed;
    for (const auto& entry : lists_.subscriptions().entries()) {
        subscribed.push_back(entry.parsed.names);
    }
    const auto placed = core::listsOfNames(
        unknown, badHosts.ok() ? std::string_view(badHosts.bytes) : std::string_view(), subscribed,
        core::AllowList(lists_.subscriptions().allowedText()));
    for (std::size_t at = 0; at < unknown.size(); ++at) {
        listOf_.emplace(unknown[at], placed[at]);
    }
}

std::string_view StatisticsView::listName(const std::string& server) const {
    const auto found = listOf_.find(server);
    const std::size_t list = found == listOf_.end() ? core::kUnlisted : found->second;
    const auto& entries = lists_.subscriptions().entries();
    if (list == core::kServerListIndex) {
        return kServerListName;
    }
    return list != core::kUnlisted && list - 1 < entries.size() ? entries[list - 1].url
                                                                : std::string_view();
}

void StatisticsView::allow() {
    const std::string name = window_->selectedServer();
    if (name.empty() ||
        services_.box.show(std::string("Allow ").append(name).append(
                               "? It will no longer be blocked, and the HOSTS file is written "
                               "again."),
                           platform::Buttons::YesNo) != platform::Answer::Yes) {
        return;
    }
    if (lists_.allow(name)) {
        listOf_.clear();
        refresh();
    }
}

void StatisticsView::reset() {
    if (services_.box.show("Reset all statistics?", platform::Buttons::YesNo) ==
        platform::Answer::Yes) {
        store_.reset();
        refresh();
    }
}

void StatisticsView::exportCsv() {
    const auto chosen = services_.picker.pickSave(
        {platform::fromPath(QDir::homePath()), "statistics.csv", "CSV files (*.csv)|*.csv"});
    if (chosen.kind != platform::PickResult::Kind::Chosen) {
        if (chosen.kind == platform::PickResult::Kind::Failed) {
            services_.box.show(chosen.value);
        }
        return;
    }
    const auto servers = store_.statistics().servers();
    placeNames(servers);
    std::vector<core::CsvRow> rows;
    rows.reserve(servers.size());
    for (const auto& server : servers) {
        rows.push_back({server.name, server.count, server.lastSeen, listName(server.name)});
    }
    const auto written = services_.files.writeFile(chosen.value, core::serversCsv(rows));
    if (!written.ok()) {
        services_.box.show(std::string("Error writing ")
                               .append(chosen.value)
                               .append(": ")
                               .append(written.error()));
    }
}

}  // namespace tessel::app
