#include "Glyphs.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

namespace glyphs {

namespace {

// Device groups by the kind of device they stand for.
enum class TKind { Player, Phone, TvBox, Handheld, Controller, Film, HdBadge, Music };

constexpr std::array<TKind, 28> GroupKinds = {
    TKind::Player,     TKind::Phone,   TKind::TvBox,      TKind::Phone,      TKind::Handheld,
    TKind::Controller, TKind::Player,  TKind::Player,     TKind::Player,     TKind::Player,
    TKind::Player,     TKind::Player,  TKind::Controller, TKind::Controller, TKind::Phone,
    TKind::Phone,      TKind::Phone,   TKind::Phone,      TKind::Film,       TKind::Film,
    TKind::Player,     TKind::HdBadge, TKind::Film,       TKind::Film,       TKind::Music,
    TKind::HdBadge,    TKind::Music,   TKind::Phone};

QPixmap Canvas(int size, qreal ratio) {
    QPixmap pixmap(qRound(size * ratio), qRound(size * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QColor GroupColour(int group) {
    // Neighbouring groups get clearly different hues.
    return QColor::fromHsv((group * 47) % 360, 150, 190);
}

void PaintDevice(QPainter& p, TKind kind, const QColor& colour) {
    const QColor dark = colour.darker(160);
    p.setPen(QPen(dark, 1.2));
    p.setBrush(colour);
    switch (kind) {
    case TKind::Player:
        p.drawRoundedRect(QRectF(5, 1.5, 10, 17), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 3.5, 7, 6));
        p.drawEllipse(QPointF(10, 14), 2.6, 2.6);
        break;
    case TKind::Phone:
        p.drawRoundedRect(QRectF(5.5, 1, 9, 18), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 3.5, 6, 10));
        p.drawEllipse(QPointF(10, 16.3), 1, 1);
        break;
    case TKind::TvBox:
        p.drawRoundedRect(QRectF(1.5, 3, 17, 11), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 5, 13, 7));
        p.setBrush(colour);
        p.drawRect(QRectF(6, 15.5, 8, 2.5));
        break;
    case TKind::Handheld:
        p.drawRoundedRect(QRectF(1, 5, 18, 10), 4, 4);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, 6.5, 8, 7));
        p.drawEllipse(QPointF(3.7, 10), 1.2, 1.2);
        p.drawEllipse(QPointF(16.3, 10), 1.2, 1.2);
        break;
    case TKind::Controller: {
        QPainterPath pad;
        pad.addRoundedRect(QRectF(1.5, 6, 17, 9), 4.5, 4.5);
        p.drawPath(pad);
        p.setPen(QPen(Qt::white, 1.6));
        p.drawLine(QPointF(4.5, 10.5), QPointF(8, 10.5));
        p.drawLine(QPointF(6.25, 8.7), QPointF(6.25, 12.3));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(13, 9.5), 1.1, 1.1);
        p.drawEllipse(QPointF(15.3, 11.5), 1.1, 1.1);
        break;
    }
    case TKind::Film:
        p.drawRect(QRectF(2, 3, 16, 14));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        for (int i = 0; i < 4; ++i) {
            p.drawRect(QRectF(3, 4.5 + i * 3.2, 1.6, 1.6));
            p.drawRect(QRectF(15.4, 4.5 + i * 3.2, 1.6, 1.6));
        }
        p.drawPolygon(QPolygonF({QPointF(8, 7), QPointF(13, 10), QPointF(8, 13)}));
        break;
    case TKind::HdBadge: {
        p.drawRoundedRect(QRectF(1, 4, 18, 12), 2.5, 2.5);
        QFont font("DejaVu Sans");
        font.setPixelSize(9);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(1, 4, 18, 12), Qt::AlignCenter, "HD");
        break;
    }
    case TKind::Music:
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(6, 15), 3, 2.4);
        p.drawEllipse(QPointF(14.5, 13), 3, 2.4);
        p.setPen(QPen(dark, 1.6));
        p.drawLine(QPointF(8.6, 15), QPointF(8.6, 4));
        p.drawLine(QPointF(17.1, 13), QPointF(17.1, 2));
        p.setPen(QPen(dark, 2.4));
        p.drawLine(QPointF(8.6, 4.5), QPointF(17.1, 2.5));
        break;
    }
}

void PaintButton(QPainter& p, TButton button, const QColor& accent) {
    const QColor green(0x2e, 0x9d, 0x46);
    const QColor red(0xc8, 0x3a, 0x32);
    const QColor grey(0x55, 0x5a, 0x62);
    auto document = [&] {
        p.setPen(QPen(grey, 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 2.5, 13, 18));
        p.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), 1));
        for (int i = 0; i < 4; ++i) {
            p.drawLine(QPointF(6, 6.5 + i * 3), QPointF(14, 6.5 + i * 3));
        }
    };
    auto badge = [&](const QColor& colour, bool plus) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QPointF(17, 17), 6, 6);
        p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(13.8, 17), QPointF(20.2, 17));
        if (plus) {
            p.drawLine(QPointF(17, 13.8), QPointF(17, 20.2));
        }
    };
    switch (button) {
    case TButton::Add:
        document();
        badge(green, true);
        break;
    case TButton::Remove:
        document();
        badge(red, false);
        break;
    case TButton::Clear:
        document();
        p.setPen(QPen(red, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 12), QPointF(21, 21));
        p.drawLine(QPointF(21, 12), QPointF(12, 21));
        break;
    case TButton::Edit: {
        p.setPen(QPen(grey, 1.2));
        p.setBrush(QColor(0xf4, 0xc4, 0x30));
        QPolygonF pencil(
            {QPointF(5, 19), QPointF(7, 13), QPointF(17, 3), QPointF(21, 7), QPointF(11, 17)});
        p.drawPolygon(pencil);
        p.setBrush(grey);
        p.drawPolygon(QPolygonF({QPointF(5, 19), QPointF(6, 16), QPointF(8, 18)}));
        break;
    }
    case TButton::Settings: {
        p.setPen(Qt::NoPen);
        p.setBrush(grey);
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(12, 12);
            p.rotate(i * 45);
            p.drawRect(QRectF(-1.8, -10, 3.6, 5));
            p.restore();
        }
        p.drawEllipse(QPointF(12, 12), 7, 7);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 12), 3, 3);
        break;
    }
    case TButton::Start:
        p.setPen(Qt::NoPen);
        p.setBrush(green);
        p.drawEllipse(QPointF(12, 12), 10, 10);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(9, 6.5), QPointF(18, 12), QPointF(9, 17.5)}));
        break;
    case TButton::Exit:
        p.setPen(QPen(grey, 1.2));
        p.setBrush(QColor(0xe8, 0xe8, 0xe8));
        p.drawRect(QRectF(3.5, 2.5, 10, 19));
        p.setPen(QPen(red, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(9, 12), QPointF(21, 12));
        p.drawPolyline(QPolygonF({QPointF(17, 8), QPointF(21, 12), QPointF(17, 16)}));
        break;
    case TButton::Play:
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawPolygon(QPolygonF({QPointF(7, 4), QPointF(20, 12), QPointF(7, 20)}));
        break;
    case TButton::Pause:
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRect(QRectF(6, 5, 4, 14));
        p.drawRect(QRectF(14, 5, 4, 14));
        break;
    case TButton::Stop:
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRect(QRectF(6, 6, 12, 12));
        break;
    case TButton::Snapshot:
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRoundedRect(QRectF(3, 7, 18, 12), 2, 2);
        p.drawRect(QRectF(8, 5, 8, 3));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 13), 3.8, 3.8);
        p.setBrush(accent);
        p.drawEllipse(QPointF(12, 13), 2.2, 2.2);
        break;
    case TButton::DropDown:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x30, 0x30, 0x30));
        p.drawPolygon(QPolygonF({QPointF(6, 9), QPointF(18, 9), QPointF(12, 16)}));
        break;
    case TButton::Folder:
    case TButton::OpenFolder:
        p.setPen(QPen(QColor(0xa0, 0x78, 0x10), 1.2));
        p.setBrush(QColor(0xf6, 0xc8, 0x4c));
        p.drawPolygon(QPolygonF({QPointF(2.5, 5.5), QPointF(9, 5.5), QPointF(11, 7.5),
                                 QPointF(21.5, 7.5), QPointF(21.5, 19.5), QPointF(2.5, 19.5)}));
        if (button == TButton::OpenFolder) {
            p.setBrush(QColor(0xfb, 0xdc, 0x84));
            p.drawPolygon(QPolygonF(
                {QPointF(5, 11), QPointF(23, 11), QPointF(21.5, 19.5), QPointF(2.5, 19.5)}));
        }
        break;
    }
}

QPixmap ButtonPixmap(TButton button, const QColor& accent, int size, bool disabled) {
    QPixmap pixmap = Canvas(size, 1.0);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    if (disabled) {
        p.setOpacity(0.35);
    }
    PaintButton(p, button, accent);
    return pixmap;
}

} // namespace

QPixmap AppIcon(int size, qreal ratio) {
    QPixmap pixmap = Canvas(size, ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient background(0, 0, 0, 64);
    background.setColorAt(0, QColor(0x4a, 0x8c, 0xe0));
    background.setColorAt(1, QColor(0x1d, 0x4f, 0x9c));
    p.setPen(QPen(QColor(0x15, 0x3a, 0x75), 1.5));
    p.setBrush(background);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 13, 13);
    // A film frame with a play sign, and an arrow that carries it to a device.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRoundedRect(QRectF(9, 13, 30, 24), 3, 3);
    p.setBrush(QColor(0x1d, 0x4f, 0x9c));
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(12 + i * 7, 15, 3.5, 3));
        p.drawRect(QRectF(12 + i * 7, 32, 3.5, 3));
    }
    p.drawPolygon(QPolygonF({QPointF(20, 20), QPointF(29, 25), QPointF(20, 30)}));
    p.setBrush(QColor(0xff, 0xb3, 0x2a));
    QPainterPath arrow;
    arrow.moveTo(16, 43);
    arrow.lineTo(38, 43);
    arrow.lineTo(38, 37);
    arrow.lineTo(50, 47);
    arrow.lineTo(38, 57);
    arrow.lineTo(38, 51);
    arrow.lineTo(16, 51);
    arrow.closeSubpath();
    p.drawPath(arrow);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(45, 14, 11, 20), 2.5, 2.5);
    p.setBrush(QColor(0x1d, 0x4f, 0x9c));
    p.drawRect(QRectF(47, 17, 7, 11));
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(AppIcon(size));
    }
    return icon;
}

QPixmap GroupIcon(int group, qreal ratio) {
    QPixmap pixmap = Canvas(20, ratio);
    if (group < 0 || group >= static_cast<int>(GroupKinds.size())) {
        return pixmap;
    }
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    PaintDevice(p, GroupKinds[group], GroupColour(group));
    return pixmap;
}

QPixmap PlusMinus(bool expanded, qreal ratio) {
    QPixmap pixmap = Canvas(11, ratio);
    QPainter p(&pixmap);
    p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 0.5, 10, 10));
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(QPointF(3, 5.5), QPointF(8, 5.5));
    if (!expanded) {
        p.drawLine(QPointF(5.5, 3), QPointF(5.5, 8));
    }
    return pixmap;
}

QIcon ButtonIcon(TButton button, const QColor& accent) {
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        icon.addPixmap(ButtonPixmap(button, accent, size, false), QIcon::Normal);
        icon.addPixmap(ButtonPixmap(button, accent, size, true), QIcon::Disabled);
    }
    return icon;
}

} // namespace glyphs
