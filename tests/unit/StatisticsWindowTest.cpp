#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

#include "Harness.h"
#include "core/NameTally.h"
#include "ui/StatisticsWindow.h"

using namespace tessel;
using namespace tessel::testing;

namespace {

class StatisticsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(h.load());
        count({{"banner.example.net", 9}, {"ads.example.com", 10}, {"", 2}, {"(others)", 1}});
        h.trigger("menuStatistics2");
        window = h.form->statisticsWindow();
        ASSERT_NE(window, nullptr);
        table = window->servers();
    }
    void count(const std::vector<std::pair<std::string, int>>& counts) {
        core::NameTally batch;
        for (const auto& [name, times] : counts) {
            for (int i = 0; i < times; ++i) {
                batch.add(name);
            }
        }
        h.form->statistics().add(batch);
    }
    QString cell(int row, int column) const {
        return table->model()->index(row, column).data().toString();
    }
    QString column(int at) const {
        QStringList cells;
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            cells.push_back(cell(row, at));
        }
        return cells.join(QLatin1Char(' '));
    }
    void selectRow(const QString& name) const {
        const auto* model = table->model();
        table->selectRow(model->match(model->index(0, 0), Qt::DisplayRole, name).value(0).row());
    }
    QPushButton* button(const char* name) const {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }

    Harness h;
    ui::StatisticsWindow* window = nullptr;
    QTableView* table = nullptr;
};

TEST_F(StatisticsWindowTest, SortsCountsAsNumbersAndFiltersByName) {
    EXPECT_EQ(column(1), "10 9 2 1") << "most blocked first";
    EXPECT_EQ(cell(0, 3), "Server list");
    table->sortByColumn(1, Qt::AscendingOrder);
    EXPECT_EQ(column(1), "1 2 9 10");
    window->findChild<QLineEdit*>("txtFilter")->setText("EXAMPLE");
    EXPECT_EQ(column(0), "banner.example.net ads.example.com");
}

// A refresh brought by new counts keeps the order the user chose and the row selected.
TEST_F(StatisticsWindowTest, LiveCountsKeepTheSortAndTheSelection) {
    table->sortByColumn(0, Qt::AscendingOrder);
    selectRow("banner.example.net");
    count({{"ads.example.com", 5}, {"zzz.example", 1}});
    QElapsedTimer clock;
    clock.start();
    while (table->model()->rowCount() < 5 && clock.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(column(0), "(no name) (others) ads.example.com banner.example.net zzz.example");
    EXPECT_EQ(window->selectedServer(), "banner.example.net");
}

// Allow takes only a real server's name, and it and Reset do nothing unless the user agrees.
TEST_F(StatisticsWindowTest, AllowsRealServersOnlyAndBothAskFirst) {
    for (const auto& [name, enabled] :
         {std::pair{"(others)", false}, std::pair{"(no name)", false}, {"ads.example.com", true}}) {
        selectRow(name);
        EXPECT_EQ(button("cmdAllow")->isEnabled(), enabled) << name;
    }
    h.box.answers = {platform::Answer::No};
    button("cmdAllow")->click();
    EXPECT_EQ(h.files.files.count(kDir + "/data/allowed.dat"), 0U);
    button("cmdAllow")->click();
    EXPECT_EQ(h.files.files[kDir + "/data/allowed.dat"], "ads.example.com\r\n");
    EXPECT_EQ(cell(0, 3), "") << "no list blocks an allowed name";
    h.box.shown.clear();
    h.box.answers = {platform::Answer::No};
    button("cmdReset")->click();
    EXPECT_EQ(h.box.shown, std::vector<std::string>{"Reset all statistics?"});
    EXPECT_EQ(table->model()->rowCount(), 4);
    button("cmdReset")->click();
    EXPECT_EQ(table->model()->rowCount(), 0);
}

TEST_F(StatisticsWindowTest, ExportsEveryServer) {
    h.picker.results = {{platform::PickResult::Kind::Chosen, "/home/u/blocked.csv"}};
    button("cmdExport")->click();
    const std::string csv = h.files.files["/home/u/blocked.csv"];
    EXPECT_TRUE(csv.starts_with("server,count,last seen,list\r\nads.example.com,10,")) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5) << "a line for every row";
}

}  // namespace
