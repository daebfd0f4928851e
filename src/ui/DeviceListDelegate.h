#pragma once

#include <QStyledItemDelegate>

// Draws a device list row: a selected row is filled and framed; group rows carry the plus or
// minus sign, the group icon and a bold caption; entry rows are indented in navy.
class TDeviceListDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int RowHeight = 20;
    // A press left of this x on a group row expands or collapses it.
    static constexpr int GlyphWidth = 20;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
