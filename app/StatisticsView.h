#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/Lists.h"
#include "app/Services.h"
#include "app/StatisticsStore.h"
#include "core/ProgramPaths.h"
#include "ui/MainWindow.h"
#include "ui/StatisticsWindow.h"

namespace tessel::app {

// The Statistics window: filled from the store when it opens and, while it is open, again a
// moment after the counts move; closed, it costs nothing. Allow puts a server on the allow list,
// Reset forgets every count, Export writes them as CSV.
class StatisticsView final : public QObject {
    Q_OBJECT
public:
    StatisticsView(const Services& services, ui::MainWindow& window,
                   const core::ProgramPaths& paths, StatisticsStore& store, Lists& lists);
    ~StatisticsView() override;
    Q_DISABLE_COPY_MOVE(StatisticsView)

    void open();
    ui::StatisticsWindow* window() const { return window_; }

private:
    void connectWindow();
    void closed();
    void refresh();
    void showChart();
    void placeNames(const std::vector<core::ServerCount>& servers);
    std::string_view listName(const std::string& server) const;
    void allow();
    void reset();
    void exportCsv();

    const Services& services_;
    ui::MainWindow& main_;
    const core::ProgramPaths& paths_;
    StatisticsStore& store_;
    Lists& lists_;
    QPointer<ui::StatisticsWindow> window_;
    // The store says every batch, up to twenty a second; the window follows at most twice.
    QTimer refreshTimer_;
    std::vector<QMetaObject::Connection> live_;
    // Which list blocks each server (a core::listsOfNames answer), found once per name while the
    // lists stay as they are.
    std::unordered_map<std::string, std::size_t> listOf_;
};

}  // namespace tessel::app
