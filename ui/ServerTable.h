#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <cstdint>
#include <vector>

namespace tessel::ui {

// The Statistics window's servers as a table model: plain rows in a vector, so ten thousand of them
// load in a few milliseconds and only the rows on screen are ever turned into text.
class ServerModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kServer, kCount, kLastSeen, kList, kColumns };
    struct Row final {
        QString name;
        std::uint64_t count = 0;
        std::int64_t lastSeen = 0;  // Unix seconds; 0 for never
        QString list;
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setRows(std::vector<Row> rows);
    const Row& row(int at) const { return rows_[static_cast<std::size_t>(at)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<Row> rows_;
};

// Sorts counts as numbers and times as times, straight from the rows, and keeps the names that
// hold the filter's text.
class ServerProxy final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit ServerProxy(ServerModel& model, QObject* parent = nullptr);

    void setNameFilter(const QString& text);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    const ServerModel& model_;
    QString filter_;
};

}  // namespace tessel::ui
