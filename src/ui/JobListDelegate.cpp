#include "JobListDelegate.h"

#include "JobList.h"
#include "ThemeManager.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

namespace {
constexpr unsigned int FocusedFill = 15518905;
constexpr unsigned int UnfocusedFill = 16313573;
constexpr unsigned int FocusedFrame = 14327930;
constexpr unsigned int UnfocusedFrame = 14857624;
constexpr int TextPadding = 3;
} // namespace

QString TJobListDelegate::ShownText(const QModelIndex& index, const QRect& cell,
                                    const QFont& font) {
    QRect textRect = cell.adjusted(TextPadding, 0, -TextPadding, 0);
    if (index.data(Qt::CheckStateRole).isValid()) {
        textRect.setLeft(CheckBoxRect(cell).right() + 5);
    }
    const QFontMetrics metrics(font);
    const QString text = index.data(Qt::DisplayRole).toString();
    const auto column = static_cast<TJobColumn>(index.column());
    if (column == TJobColumn::Source || column == TJobColumn::Destination) {
        return ElidedPath(metrics, text, textRect.width());
    }
    return metrics.elidedText(text, Qt::ElideRight, textRect.width());
}

QString TJobListDelegate::ElidedPath(const QFontMetrics& metrics, const QString& path, int width) {
    if (metrics.horizontalAdvance(path) <= width) {
        return path;
    }
    const qsizetype slash = path.lastIndexOf('/');
    const QString name = path.mid(slash + 1);
    const QString folder = slash >= 0 ? path.left(slash + 1) : QString();
    const QString ellipsis = QString(QChar(0x2026));
    const int nameWidth = metrics.horizontalAdvance(name);
    if (folder.isEmpty() || nameWidth + metrics.horizontalAdvance(ellipsis + "/") > width) {
        return metrics.elidedText(name, Qt::ElideMiddle, width);
    }
    // The folder's middle goes: its start and its last folder stay as long as there is room.
    const QString shortFolder = metrics.elidedText(folder, Qt::ElideMiddle, width - nameWidth);
    return shortFolder + name;
}

int TJobListDelegate::NameWidth(const QFontMetrics& metrics, const QString& path, bool checkBox) {
    constexpr int LongestWholeName = 40;
    const QString name = path.mid(path.lastIndexOf('/') + 1).left(LongestWholeName);
    const int text = metrics.horizontalAdvance(QString(QChar(0x2026)) + "/" + name) + 2;
    return text + 2 * TextPadding + (checkBox ? CheckBoxRect(QRect()).right() + 5 : 0);
}

QRect TJobListDelegate::CheckBoxRect(const QRect& cell) {
    // A square as wide as the design's box, centred in rows taller than the design's.
    constexpr int side = 12;
    return QRect(cell.x() + 2, cell.y() + (cell.height() - side) / 2, side, side);
}

void TJobListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    painter->save();
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const bool focused = option.widget != nullptr && option.widget->hasFocus();
    if (selected) {
        painter->fillRect(r, TThemeManager::FromBgr(focused ? FocusedFill : UnfocusedFill));
        painter->setPen(QPen(TThemeManager::FromBgr(focused ? FocusedFrame : UnfocusedFrame), 1));
        painter->drawLine(r.topLeft(), r.topRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        if (index.column() == 0) {
            painter->drawLine(r.topLeft(), r.bottomLeft());
        }
        if (index.column() == index.model()->columnCount() - 1) {
            painter->drawLine(r.topRight(), r.bottomRight());
        }
    } else {
        painter->fillRect(r, index.row() % 2 == 0 ? QColor(Qt::white)
                                                  : TThemeManager::CurrentStripeColour());
    }

    QRect textRect = r.adjusted(TextPadding, 0, -TextPadding, 0);
    const QVariant check = index.data(Qt::CheckStateRole);
    if (check.isValid()) {
        const QRect box = CheckBoxRect(r);
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(Qt::black, 2));
        painter->setBrush(Qt::white);
        painter->drawRect(box.adjusted(1, 1, 0, 0));
        if (check.value<Qt::CheckState>() == Qt::Checked) {
            painter->setRenderHint(QPainter::Antialiasing, true);
            const QPoint corner = box.topLeft();
            painter->drawPolyline(
                QPolygon({corner + QPoint(2, 5), corner + QPoint(4, 9), corner + QPoint(9, 3)}));
        }
        textRect.setLeft(box.right() + 5);
    }
    painter->setPen(option.palette.color(QPalette::Text));
    painter->setFont(option.font);
    const QString text = ShownText(index, r, option.font);
    const auto alignment = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
    painter->drawText(
        textRect, (alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter | Qt::TextSingleLine,
        text);
    painter->restore();
}

QSize TJobListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    const QSize natural = QStyledItemDelegate::sizeHint(option, index);
    return {natural.width(), std::max(RowHeight, natural.height())};
}

bool TJobListDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                   const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::MouseButtonRelease || index.column() != 0 ||
        !(index.flags() & Qt::ItemIsUserCheckable)) {
        return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton ||
        !CheckBoxRect(option.rect).adjusted(-1, -1, 1, 1).contains(mouse->position().toPoint())) {
        return false;
    }
    const bool checked = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}
