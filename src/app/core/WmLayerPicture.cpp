#include "WmLayerPicture.h"

#include "BitmapImage.h"
#include "WmColor.h"
#include "WmImageCache.h"
#include "WmText.h"

#include <QFontMetrics>
#include <QPainter>

QImage WmTextPicture(const std::string& text, const TWmFont& font, bool hasBackColor,
                     std::uint32_t backColor, QSize box) {
    const QSize extent = WmTextExtent(text, font);
    if (box.isEmpty()) {
        box = extent;
    }
    QImage picture(box.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    if (hasBackColor) {
        picture.fill(Qt::white);
    } else {
        picture.fill(Qt::transparent);
    }
    const QFont qfont = WmQFont(font);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (hasBackColor) {
        painter.fillRect(QRect(QPoint(0, 0), extent), WmColor(backColor));
    }
    painter.setFont(qfont);
    painter.setPen(WmColor(font.Color));
    painter.drawText(QPoint(0, QFontMetrics(qfont).ascent()), QString::fromStdString(text));
    return picture;
}

QImage WmImagePicture(const std::string& path) {
    return ImageFromBitmap(LoadBitmapFile(path));
}
