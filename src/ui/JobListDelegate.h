#pragma once

#include <QStyledItemDelegate>

// Draws a job list cell: white and theme-coloured stripes, the selected row filled and
// framed (in stronger colours while the list has the focus), the check box with its tick in
// the first cell, and single-line texts cut with an ellipsis. A click in the box toggles it.
class TJobListDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int RowHeight = 20;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // The check box of a first cell.
    static QRect CheckBoxRect(const QRect& cell);
};
