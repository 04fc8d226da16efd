#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/HourChart.h"
#include "ui/UnloadingWindow.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;

namespace tessel::ui {

class ServerModel;
class ServerProxy;

// "Statistics": what was blocked today, this week and ever, a chart by hour or by day, every
// counted server with the list that blocks it, and the counts by list. Its buttons only say they
// were clicked; the data comes in whole each time and the user's sort, filter and selection stay.
class StatisticsWindow final : public UnloadingWindow {
    Q_OBJECT
public:
    struct Server final {
        std::string name = {};
        std::uint64_t count = 0;
        std::int64_t lastSeen = 0;
        std::string list = {};
    };
    struct ListCount final {
        std::string list = {};
        std::uint64_t count = 0;
    };
    // The chart's choices, in the order the box offers them.
    enum class Range { Hours, Days };

    explicit StatisticsWindow(const QIcon& icon, QWidget* parent = nullptr);

    void setTotals(std::uint64_t today, std::uint64_t week, std::uint64_t allTime);
    void setServers(const std::vector<Server>& servers);
    void setListCounts(const std::vector<ListCount>& counts);
    void setChart(std::vector<HourChart::Bar> bars);
    Range range() const;

    // The name of the one selected row when a list blocks it; empty otherwise.
    std::string selectedServer() const;
    // The selected rows as the view shows them, a tab between cells and LF after each row: what
    // Ctrl+C puts on the clipboard.
    QString selectedText() const;
    QTableView* servers() const { return servers_; }

signals:
    void allowClicked();
    void resetClicked();
    void exportClicked();
    void rangeChanged();

private:
    void buildControls();
    QLayout* buildButtons();
    void setUpServers();
    QStringList selectedNames() const;
    void select(const QStringList& names);
    void updateAllow();

    ServerModel* model_ = nullptr;
    ServerProxy* proxy_ = nullptr;
    QLabel* today_ = nullptr;
    QLabel* week_ = nullptr;
    QLabel* allTime_ = nullptr;
    QComboBox* range_ = nullptr;
    HourChart* chart_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QTableView* servers_ = nullptr;
    QTableWidget* lists_ = nullptr;
    QPushButton* allow_ = nullptr;
};

}  // namespace tessel::ui
