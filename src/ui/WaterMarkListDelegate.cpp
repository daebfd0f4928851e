#include "WaterMarkListDelegate.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr QColor CurrentFill(185, 204, 236);
constexpr QColor CurrentFrame(122, 160, 218);
constexpr QColor OtherFill(246, 247, 248);
constexpr QColor TextColour(0, 0, 0);

void DrawTextIcon(QPainter& painter) {
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(255, 255, 255));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2, 2);
    QFont font = painter.font();
    font.setPixelSize(13);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(30, 70, 160));
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, "T");
}

void DrawImageIcon(QPainter& painter) {
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(170, 210, 250));
    painter.drawRect(QRectF(0.5, 2.5, 15, 11));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(250, 210, 60));
    painter.drawEllipse(QPointF(11, 6), 2, 2);
    QPainterPath hill;
    hill.moveTo(1, 13);
    hill.lineTo(6, 7);
    hill.lineTo(10, 11);
    hill.lineTo(12, 9);
    hill.lineTo(15, 13);
    hill.closeSubpath();
    painter.setBrush(QColor(60, 150, 70));
    painter.drawPath(hill);
}

} // namespace

QColor TWaterMarkListDelegate::RowFill(bool current) {
    return current ? CurrentFill : OtherFill;
}

QColor TWaterMarkListDelegate::RowFrame() {
    return CurrentFrame;
}

QPixmap TWaterMarkListDelegate::Icon(int kind, qreal ratio) {
    QPixmap pixmap(QSize(IconSize, IconSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (kind == 1) {
        DrawImageIcon(painter);
    } else {
        DrawTextIcon(painter);
    }
    return pixmap;
}

void TWaterMarkListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const bool current = view != nullptr && view->currentIndex() == index;
    const QRect rect = option.rect;
    painter->save();
    painter->fillRect(rect, RowFill(current));
    if (current) {
        painter->setPen(CurrentFrame);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
    }
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QPixmap icon = Icon(index.data(KindRole).toInt(), ratio);
    painter->drawPixmap(rect.left() + 1, rect.top() + (rect.height() - IconSize) / 2, icon);
    const QRect textRect = rect.adjusted(TextIndent, 0, -2, 0);
    const QString text = option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(),
                                                       Qt::ElideRight, textRect.width());
    painter->setPen(TextColour);
    painter->setFont(option.font);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter->restore();
}

QSize TWaterMarkListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), RowHeight};
}
