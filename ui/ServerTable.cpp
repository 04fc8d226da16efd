#include "ui/ServerTable.h"

#include <QDateTime>

namespace tessel::ui {

void ServerModel::setRows(std::vector<Row> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int ServerModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ServerModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant ServerModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return index.column() == kCount ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    const Row& shown = row(index.row());
    switch (index.column()) {
        case kServer:
            return shown.name;
        case kCount:
            return QString::number(shown.count);
        case kLastSeen:
            return shown.lastSeen == 0 ? QString()
                                       : QDateTime::fromSecsSinceEpoch(shown.lastSeen)
                                             .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        default:
            return shown.list;
    }
}

QVariant ServerModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    static const char* const kTitles[kColumns] = {"Server", "Count", "Last seen", "List"};
    return QString::fromLatin1(kTitles[section]);
}

ServerProxy::ServerProxy(ServerModel& model, QObject* parent)
    : QSortFilterProxyModel(parent), model_(model) {
    setSourceModel(&model);
}

void ServerProxy::setNameFilter(const QString& text) {
    filter_ = text;
    invalidateFilter();
}

bool ServerProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const ServerModel::Row& a = model_.row(left.row());
    const ServerModel::Row& b = model_.row(right.row());
    switch (left.column()) {
        case ServerModel::kCount:
            return a.count < b.count;
        case ServerModel::kLastSeen:
            return a.lastSeen < b.lastSeen;
        case ServerModel::kList:
            return a.list < b.list;
        default:
            return a.name < b.name;
    }
}

bool ServerProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    return filter_.isEmpty() || model_.row(sourceRow).name.contains(filter_, Qt::CaseInsensitive);
}

}  // namespace tessel::ui
