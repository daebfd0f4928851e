#include "DeviceListDelegate.h"

#include "DeviceListModel.h"
#include "Glyphs.h"
#include "ThemeManager.h"

#include <QPainter>

namespace {
constexpr unsigned int SelectedFill = 15518905;
constexpr unsigned int SelectedFrame = 14327930;
constexpr unsigned int RowFill = 16316406;
constexpr unsigned int EntryText = 0x800000; // navy
} // namespace

void TDeviceListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    painter->save();
    const QRect r = option.rect;
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1;
    if (option.state & QStyle::State_Selected) {
        painter->fillRect(r.adjusted(2, 2, -2, -2), TThemeManager::FromBgr(SelectedFill));
        painter->setPen(TThemeManager::FromBgr(SelectedFrame));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(r.adjusted(1, 1, -2, -2));
    } else {
        painter->fillRect(r, TThemeManager::FromBgr(RowFill));
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    const int x = r.x() + 3;
    if (index.data(TDeviceListModel::IsGroupRole).toBool()) {
        const bool collapsed = index.data(TDeviceListModel::CollapsedRole).toBool();
        const QPixmap sign = glyphs::PlusMinus(!collapsed, ratio);
        const int signSize = qRound(sign.height() / sign.devicePixelRatio());
        painter->drawPixmap(x + 1, r.y() + (r.height() - signSize) / 2, sign);
        const QPixmap icon =
            glyphs::GroupIcon(index.data(TDeviceListModel::CodeRole).toInt(), ratio);
        painter->drawPixmap(x + 20, r.y() + (r.height() - 20) / 2, icon);
        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(Qt::black);
        const QRect textRect(x + 45, r.y(), r.right() - x - 45, r.height());
        painter->drawText(
            textRect, Qt::AlignLeft | Qt::AlignVCenter,
            painter->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    } else {
        painter->setFont(option.font);
        painter->setPen((option.state & QStyle::State_Selected)
                            ? QColor(Qt::black)
                            : TThemeManager::FromBgr(EntryText));
        const QRect textRect(x + 25, r.y(), r.right() - x - 25, r.height());
        painter->drawText(
            textRect, Qt::AlignLeft | Qt::AlignVCenter,
            painter->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    }
    painter->restore();
}

QSize TDeviceListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const QSize natural = QStyledItemDelegate::sizeHint(option, index);
    return {natural.width() + 48, RowHeight};
}
