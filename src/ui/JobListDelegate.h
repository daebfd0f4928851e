#pragma once

#include <QStyledItemDelegate>

// Draws a job list cell: white and theme-coloured stripes, the selected row filled and
// framed (in stronger colours while the list has the focus), the check box with its tick in
// the first cell, and single-line texts cut with an ellipsis; paths lose the middle of their
// folder first, so the file name stays whole as long as it fits. A click in the box toggles it.
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
    // The text a cell of this rectangle shows, in this font.
    static QString ShownText(const QModelIndex& index, const QRect& cell, const QFont& font);
    // A path shortened to width: "/home/an…/folder/name.mp4", the folder's middle given up
    // first, the name's middle only when the name alone does not fit.
    static QString ElidedPath(const QFontMetrics& metrics, const QString& path, int width);
    // The width a cell needs to show the file name of path (up to 40 characters of it) whole.
    static int NameWidth(const QFontMetrics& metrics, const QString& path, bool checkBox);
};
