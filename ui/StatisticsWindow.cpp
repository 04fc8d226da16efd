#include "ui/StatisticsWindow.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/ServerTable.h"

namespace tessel::ui {
namespace {

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* made = new QPushButton(QString::fromLatin1(caption), parent);
    made->setObjectName(QString::fromLatin1(name));
    return made;
}

QLabel* number(QWidget* parent, const char* name) {
    auto* label = new QLabel(QStringLiteral("0"), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* caption(QWidget* parent, const char* text, QWidget* buddy = nullptr) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

StatisticsWindow::StatisticsWindow(const QIcon& icon, QWidget* parent)
    : UnloadingWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                  Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowTitle(QStringLiteral("Statistics"));
    setWindowIcon(icon);
    buildControls();
    resize(760, 560);
}

void StatisticsWindow::buildControls() {
    today_ = number(this, "lblToday");
    week_ = number(this, "lblWeek");
    allTime_ = number(this, "lblAllTime");
    range_ = new QComboBox(this);
    range_->setObjectName(QStringLiteral("cboChartRange"));
    range_->addItems(
        {QStringLiteral("By hour, last 7 days"), QStringLiteral("By day, last 90 days")});
    chart_ = new HourChart(this);
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("txtFilter"));
    filter_->setPlaceholderText(QStringLiteral("Part of a server's name"));
    filter_->setClearButtonEnabled(true);
    setUpServers();
    lists_ = new QTableWidget(0, 2, this);
    lists_->setObjectName(QStringLiteral("tblLists"));
    lists_->setHorizontalHeaderLabels({QStringLiteral("List"), QStringLiteral("Count")});
    lists_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    lists_->horizontalHeader()->resizeSection(1, 70);
    lists_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    lists_->verticalHeader()->hide();
    lists_->setWordWrap(false);
    lists_->setTextElideMode(Qt::ElideMiddle);
    lists_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* totals = new QHBoxLayout;
    for (auto [text, value] : {std::pair{"Today:", today_}, std::pair{"Last 7 days:", week_},
                               std::pair{"All time:", allTime_}}) {
        totals->addWidget(caption(this, text));
        totals->addWidget(value);
        totals->addSpacing(24);
    }
    totals->addStretch(1);
    totals->addWidget(caption(this, "S&how:", range_));
    totals->addWidget(range_);
    auto* filtering = new QHBoxLayout;
    filtering->addWidget(caption(this, "&Filter:", filter_));
    filtering->addWidget(filter_, 1);
    auto* tables = new QHBoxLayout;
    tables->addWidget(servers_, 3);
    tables->addWidget(lists_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(totals);
    layout->addWidget(chart_, 2);
    layout->addLayout(filtering);
    layout->addLayout(tables, 3);
    layout->addLayout(buildButtons());
    // The table first: arrows, Ctrl+A and Ctrl+C work at once.
    servers_->setFocus();
    connect(range_, &QComboBox::currentIndexChanged, this, &StatisticsWindow::rangeChanged);
    connect(filter_, &QLineEdit::textChanged, proxy_, &ServerProxy::setNameFilter);
}

QLayout* StatisticsWindow::buildButtons() {
    allow_ = button(this, "cmdAllow", "&Allow");
    allow_->setToolTip(QStringLiteral("Never block the selected server again"));
    allow_->setEnabled(false);
    QPushButton* reset = button(this, "cmdReset", "&Reset statistics");
    QPushButton* save = button(this, "cmdExport", "&Export CSV...");
    QPushButton* close = button(this, "cmdClose", "&Close");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* each : {allow_, reset, save}) {
        buttons->addWidget(each);
    }
    buttons->addStretch(1);
    buttons->addWidget(close);
    connect(allow_, &QPushButton::clicked, this, &StatisticsWindow::allowClicked);
    connect(reset, &QPushButton::clicked, this, &StatisticsWindow::resetClicked);
    connect(save, &QPushButton::clicked, this, &StatisticsWindow::exportClicked);
    connect(close, &QPushButton::clicked, this, &StatisticsWindow::close);
    return buttons;
}

// Rows of one fixed height and columns sized by hand: the view never measures ten thousand rows.
void StatisticsWindow::setUpServers() {
    model_ = new ServerModel(this);
    proxy_ = new ServerProxy(*model_, this);
    servers_ = new QTableView(this);
    servers_->setObjectName(QStringLiteral("tblServers"));
    servers_->setModel(proxy_);
    servers_->setSelectionBehavior(QAbstractItemView::SelectRows);
    servers_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    servers_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    servers_->setWordWrap(false);
    servers_->verticalHeader()->hide();
    servers_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    servers_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* header = servers_->horizontalHeader();
    header->setSectionResizeMode(ServerModel::kServer, QHeaderView::Stretch);
    header->resizeSection(ServerModel::kCount, 80);
    header->resizeSection(ServerModel::kLastSeen, 130);
    header->resizeSection(ServerModel::kList, 150);
    header->setSortIndicator(ServerModel::kCount, Qt::DescendingOrder);
    servers_->setSortingEnabled(true);
    auto* copy = new QAction(servers_);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    servers_->addAction(copy);
    connect(copy, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(selectedText()); });
    connect(servers_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &StatisticsWindow::updateAllow);
}

void StatisticsWindow::setTotals(std::uint64_t today, std::uint64_t week, std::uint64_t allTime) {
    today_->setText(QString::number(today));
    week_->setText(QString::number(week));
    allTime_->setText(QString::number(allTime));
}

// The table is filled anew; the proxy sorts and filters it as before, and the rows selected
// before are selected again by name, wherever the new counts put them.
void StatisticsWindow::setServers(const std::vector<Server>& servers) {
    const QStringList selected = selectedNames();
    const QString current =
        servers_->currentIndex().siblingAtColumn(ServerModel::kServer).data().toString();
    const int scrolled = servers_->verticalScrollBar()->value();
    std::vector<ServerModel::Row> rows;
    rows.reserve(servers.size());
    for (const Server& server : servers) {
        rows.push_back({QString::fromStdString(server.name), server.count, server.lastSeen,
                        QString::fromStdString(server.list)});
    }
    model_->setRows(std::move(rows));
    select(selected);
    // The arrow keys go on from the row they were on, not from the top.
    const QModelIndexList found = proxy_->match(proxy_->index(0, ServerModel::kServer),
                                                Qt::DisplayRole, current, 1, Qt::MatchExactly);
    if (!current.isEmpty() && !found.isEmpty()) {
        servers_->selectionModel()->setCurrentIndex(found.front(), QItemSelectionModel::NoUpdate);
    }
    servers_->verticalScrollBar()->setValue(scrolled);
    updateAllow();
}

void StatisticsWindow::setListCounts(const std::vector<ListCount>& counts) {
    lists_->setRowCount(static_cast<int>(counts.size()));
    for (std::size_t at = 0; at < counts.size(); ++at) {
        const int row = static_cast<int>(at);
        auto* list = new QTableWidgetItem(QString::fromStdString(counts[at].list));
        list->setToolTip(list->text());
        lists_->setItem(row, 0, list);
        auto* count = new QTableWidgetItem(QString::number(counts[at].count));
        count->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        lists_->setItem(row, 1, count);
    }
}

void StatisticsWindow::setChart(std::vector<HourChart::Bar> bars) {
    chart_->setBars(std::move(bars));
}

StatisticsWindow::Range StatisticsWindow::range() const {
    return range_->currentIndex() == 0 ? Range::Hours : Range::Days;
}

QStringList StatisticsWindow::selectedNames() const {
    QStringList names;
    for (const QModelIndex& row : servers_->selectionModel()->selectedRows(ServerModel::kServer)) {
        names.push_back(row.data().toString());
    }
    return names;
}

// One selection of contiguous ranges, made at once: row by row, ten thousand rows take seconds.
void StatisticsWindow::select(const QStringList& names) {
    if (names.isEmpty()) {
        return;
    }
    const QSet<QString> wanted(names.begin(), names.end());
    QItemSelection selection;
    const int last = proxy_->columnCount() - 1;
    for (int row = 0, rows = proxy_->rowCount(); row < rows; ++row) {
        if (!wanted.contains(proxy_->index(row, ServerModel::kServer).data().toString())) {
            continue;
        }
        int end = row;
        while (end + 1 < rows &&
               wanted.contains(proxy_->index(end + 1, ServerModel::kServer).data().toString())) {
            ++end;
        }
        selection.select(proxy_->index(row, 0), proxy_->index(end, last));
        row = end;
    }
    servers_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

// Only a server some list blocks can be allowed: "(no name)", "(others)" and a name already
// allowed are blocked by none.
std::string StatisticsWindow::selectedServer() const {
    const QModelIndexList rows = servers_->selectionModel()->selectedRows(ServerModel::kList);
    if (rows.size() != 1 || rows.front().data().toString().isEmpty()) {
        return {};
    }
    return rows.front().siblingAtColumn(ServerModel::kServer).data().toString().toStdString();
}

QString StatisticsWindow::selectedText() const {
    QModelIndexList rows = servers_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& row : rows) {
        for (int column = 0; column < ServerModel::kColumns; ++column) {
            text += proxy_->index(row.row(), column).data().toString();
            text += column + 1 < ServerModel::kColumns ? QLatin1Char('\t') : QLatin1Char('\n');
        }
    }
    return text;
}

void StatisticsWindow::updateAllow() {
    allow_->setEnabled(!selectedServer().empty());
}

}  // namespace tessel::ui
