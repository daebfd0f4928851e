#include "JobListModel.h"

namespace {

Qt::Alignment AlignmentOf(TJobColumn column) {
    switch (column) {
    case TJobColumn::Length:
    case TJobColumn::TrimmedLength:
        return Qt::AlignRight | Qt::AlignVCenter;
    case TJobColumn::Progress:
        return Qt::AlignCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace

TJobListModel::TJobListModel(TJobList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list),
      columns_(list.ColumnsShown() ? TJobList::ColumnCount : 1) {
    list_.AddObserver(this);
}

TJobListModel::~TJobListModel() {
    list_.RemoveObserver(this);
}

int TJobListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.Count();
}

int TJobListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant TJobListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.Count() || index.column() >= columns_) {
        return {};
    }
    const auto column = static_cast<TJobColumn>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(list_.Cell(index.row(), column));
    case Qt::CheckStateRole:
        if (column == TJobColumn::Source) {
            return list_.Checked(index.row()) ? Qt::Checked : Qt::Unchecked;
        }
        return {};
    case Qt::ToolTipRole:
        if (column == TJobColumn::Progress) {
            const std::string& hint = list_.ProgressHint(index.row());
            return hint.empty() ? QVariant() : QVariant(QString::fromStdString(hint));
        }
        if (column == TJobColumn::Destination) {
            // The cell may shorten the path: the whole of it is a hover away.
            return QString::fromStdString(list_.Record(index.row()).OutputFile);
        }
        return QString::fromStdString(list_.Cell(index.row(), column));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(AlignmentOf(column));
    default:
        return {};
    }
}

bool TJobListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0) {
        return false;
    }
    list_.SetChecked(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

QVariant TJobListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_ ||
        !list_.ColumnsShown()) {
        return {};
    }
    const auto column = static_cast<TJobColumn>(section);
    if (role == Qt::DisplayRole) {
        return QString::fromLatin1(TJobList::ColumnCaption(column));
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(AlignmentOf(column));
    }
    return {};
}

Qt::ItemFlags TJobListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) {
        flags |= Qt::ItemIsUserCheckable;
    }
    return flags;
}

void TJobListModel::JobsAboutToBeInserted(int first, int last) {
    beginInsertRows({}, first, last);
}

void TJobListModel::JobsInserted() {
    endInsertRows();
}

void TJobListModel::JobsAboutToBeRemoved(int first, int last) {
    beginRemoveRows({}, first, last);
}

void TJobListModel::JobsRemoved() {
    endRemoveRows();
}

void TJobListModel::JobChanged(int row) {
    emit dataChanged(index(row, 0), index(row, columns_ - 1));
}

void TJobListModel::JobColumnsAboutToChange() {
    beginResetModel();
}

void TJobListModel::JobColumnsChanged() {
    columns_ = list_.ColumnsShown() ? TJobList::ColumnCount : 1;
    endResetModel();
    emit columnsShownChanged(list_.ColumnsShown());
}

void TJobListModel::JobSelectionChanged(int row) {
    emit selectionMoved(row);
}
