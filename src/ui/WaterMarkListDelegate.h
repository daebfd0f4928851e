#pragma once

#include <QStyledItemDelegate>

// Draws a row of the watermark editor's list: 24 pixels high, a 16 by 16 icon at the left
// (a letter for a text item, a picture for an image item, from the item's KindRole), then the
// text from 19 pixels in, single line, cut with an ellipsis. The current row is filled light
// blue inside a blue frame, the others light grey.
class TWaterMarkListDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int RowHeight = 24;
    static constexpr int IconSize = 16;
    static constexpr int TextIndent = 19;
    static constexpr int KindRole = Qt::UserRole + 1; // 0 text item, 1 image item

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static QColor RowFill(bool current);
    static QColor RowFrame();
    // Icon 0 (text) or 1 (image).
    static QPixmap Icon(int kind, qreal ratio = 1.0);
};
