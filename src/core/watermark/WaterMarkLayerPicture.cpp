#include "WaterMarkLayerPicture.h"

#include "BitmapImage.h"
#include "WaterMarkColor.h"
#include "WaterMarkImageCache.h"
#include "WaterMarkText.h"

#include <QFontMetrics>
#include <QPainter>

QImage WaterMarkTextPicture(const std::string& text, const TWaterMarkFont& font, bool hasBackColor,
                            std::uint32_t backColor, QSize box) {
    const QSize extent = WaterMarkTextExtent(text, font);
    if (box.isEmpty()) {
        box = extent;
    }
    QImage picture(box.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    if (hasBackColor) {
        picture.fill(Qt::white);
    } else {
        picture.fill(Qt::transparent);
    }
    const QFont qfont = WaterMarkQFont(font);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (hasBackColor) {
        painter.fillRect(QRect(QPoint(0, 0), extent), WaterMarkColor(backColor));
    }
    painter.setFont(qfont);
    painter.setPen(WaterMarkColor(font.Color));
    painter.drawText(QPoint(0, QFontMetrics(qfont).ascent()), QString::fromStdString(text));
    return picture;
}

QImage WaterMarkImagePicture(const std::string& path) {
    return ImageFromBitmap(LoadBitmapFile(path));
}
