#include "DeviceListModel.h"

#include "DeviceList.h"
#include "FormatTable.h"
#include "Glyphs.h"

#include <QFont>

TDeviceListModel::TDeviceListModel(TDeviceList& list, TFormatTable& table, TSettings& settings,
                                   QObject* parent)
    : QAbstractListModel(parent), list_(list), table_(table), settings_(settings) {}

int TDeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.RowCount();
}

QVariant TDeviceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.RowCount()) {
        return {};
    }
    const TDeviceRow& row = list_.Rows()[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return QString::fromStdString(row.Text);
    case Qt::AccessibleDescriptionRole:
        if (row.Info.IsGroup) {
            return row.Info.Collapsed ? tr("device group, collapsed")
                                      : tr("device group, expanded");
        }
        return tr("output format");
    case Qt::DecorationRole:
        return row.Info.IsGroup ? QVariant(glyphs::GroupIcon(row.Info.Code)) : QVariant();
    case Qt::FontRole:
        if (row.Info.IsGroup) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case IsGroupRole:
        return row.Info.IsGroup;
    case CollapsedRole:
        return row.Info.Collapsed;
    case CodeRole:
        return row.Info.Code;
    default:
        return {};
    }
}

void TDeviceListModel::Build() {
    beginResetModel();
    list_.Build(table_, settings_);
    endResetModel();
}

bool TDeviceListModel::Toggle(int row) {
    if (row < 0 || row >= list_.RowCount() || !list_.Rows()[row].Info.IsGroup) {
        return false;
    }
    const TDeviceRow& group = list_.Rows()[row];
    if (group.Info.Collapsed) {
        int entries = 0;
        for (int entry = 0; entry < TFormatTable::Size - 1; ++entry) {
            entries += table_.Cell(group.Info.Code, entry).empty() ? 0 : 1;
        }
        if (entries > 0) {
            beginInsertRows({}, row + 1, row + entries);
        }
        list_.Toggle(row, table_);
        if (entries > 0) {
            endInsertRows();
        }
    } else {
        int entries = 0;
        while (row + entries + 1 < list_.RowCount() &&
               list_.Rows()[row + entries + 1].Info.IsFormat) {
            ++entries;
        }
        if (entries > 0) {
            beginRemoveRows({}, row + 1, row + entries);
        }
        list_.Toggle(row, table_);
        if (entries > 0) {
            endRemoveRows();
        }
    }
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {CollapsedRole, Qt::AccessibleDescriptionRole});
    return true;
}

void TDeviceListModel::SaveGroupStates() {
    list_.SaveGroupStates(settings_);
}

bool TDeviceListModel::SelectFormat(int row) {
    return list_.SelectFormat(row, table_, settings_);
}
