#include "DeviceListBox.h"

#include "DeviceList.h"
#include "DeviceListDelegate.h"
#include "DeviceListModel.h"

#include <QKeyEvent>
#include <QMouseEvent>

TDeviceListBox::TDeviceListBox(TDeviceList& list, TFormatTable& table, TSettings& settings,
                               QWidget* parent)
    : QListView(parent), model_(new TDeviceListModel(list, table, settings, this)) {
    setObjectName("lst1");
    setAccessibleName(tr("Output formats"));
    setModel(model_);
    setItemDelegate(new TDeviceListDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet("QListView#lst1 { background: #f6f6f8; border: 1px solid #7a7a7a; }");
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { model_->List().SetSelectedRow(current.row()); });
}

void TDeviceListBox::Rebuild() {
    model_->Build();
    SelectRow(model_->List().SelectedRow());
}

void TDeviceListBox::SaveGroupStates() {
    model_->SaveGroupStates();
}

bool TDeviceListBox::Toggle(int row) {
    if (!model_->Toggle(row)) {
        return false;
    }
    SelectRow(row);
    return true;
}

int TDeviceListBox::SelectedRow() const {
    return model_->List().SelectedRow();
}

void TDeviceListBox::SelectRow(int row) {
    if (row < 0 || row >= model_->rowCount()) {
        selectionModel()->clear();
        model_->List().SetSelectedRow(-1);
        return;
    }
    const QModelIndex index = model_->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

int TDeviceListBox::PreferredHeight(int maxHeight) const {
    const int rows = model_->rowCount() * TDeviceListDelegate::RowHeight;
    return rows > maxHeight - TDeviceListDelegate::RowHeight
               ? maxHeight
               : rows + TDeviceListDelegate::RowHeight;
}

int TDeviceListBox::DropDownHeight(int limit) const {
    const int rows = model_->rowCount() * TDeviceListDelegate::RowHeight;
    return rows <= limit ? rows + TDeviceListDelegate::RowHeight : limit;
}

QRect TDeviceListBox::RowRect(int row) const {
    return visualRect(model_->index(row));
}

bool TDeviceListBox::IsGroup(int row) const {
    return row >= 0 && row < model_->rowCount() &&
           model_->index(row).data(TDeviceListModel::IsGroupRole).toBool();
}

void TDeviceListBox::mousePressEvent(QMouseEvent* event) {
    const int row = indexAt(event->position().toPoint()).row();
    if (event->button() != Qt::LeftButton || row < 0) {
        QListView::mousePressEvent(event);
        return;
    }
    SelectRow(row);
    if (IsGroup(row)) {
        if (event->position().x() < TDeviceListDelegate::GlyphWidth) {
            Toggle(row);
        }
    } else {
        emit entryChosen(row);
    }
    event->accept();
}

void TDeviceListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    const int row = indexAt(event->position().toPoint()).row();
    if (event->button() == Qt::LeftButton && IsGroup(row)) {
        // The first press of a double click on the sign has toggled already.
        if (event->position().x() >= TDeviceListDelegate::GlyphWidth) {
            Toggle(row);
        }
        event->accept();
        return;
    }
    event->accept();
}

void TDeviceListBox::mouseMoveEvent(QMouseEvent* event) {
    const int row = indexAt(event->position().toPoint()).row();
    if (row >= 0 && row != SelectedRow()) {
        selectionModel()->setCurrentIndex(model_->index(row), QItemSelectionModel::ClearAndSelect);
    }
    QListView::mouseMoveEvent(event);
}

void TDeviceListBox::keyPressEvent(QKeyEvent* event) {
    const int row = SelectedRow();
    const bool collapsed =
        IsGroup(row) && model_->index(row).data(TDeviceListModel::CollapsedRole).toBool();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (IsGroup(row)) {
            Toggle(row);
        } else if (row >= 0) {
            emit entryChosen(row);
        }
        return;
    case Qt::Key_Right:
        if (IsGroup(row) && collapsed) {
            Toggle(row);
        }
        return;
    case Qt::Key_Left:
        if (IsGroup(row) && !collapsed) {
            Toggle(row);
        }
        return;
    case Qt::Key_Escape:
        emit closeRequested();
        return;
    default:
        QListView::keyPressEvent(event);
    }
}
