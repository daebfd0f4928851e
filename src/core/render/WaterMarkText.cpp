#include "WaterMarkText.h"

#include "AppMessages.h"
#include "Bitmap24.h"
#include "BitmapImage.h"
#include "PictureEffects.h"
#include "WaterMarkColor.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QRect>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

int WaterMarkFontPixels(int points) {
    const long long scaled = static_cast<long long>(points) * WaterMarkPixelsPerInch;
    const long long pixels = scaled >= 0 ? (scaled + 36) / 72 : (scaled - 36) / 72;
    return static_cast<int>(std::clamp<long long>(pixels, 1, 10000));
}

QFont WaterMarkQFont(const TWaterMarkFont& font) {
    QFont result;
    if (!font.Name.empty()) {
        result.setFamily(QString::fromStdString(font.Name));
    }
    result.setPixelSize(WaterMarkFontPixels(font.Size));
    result.setBold((font.Style & TWaterMarkFont::Bold) != 0);
    result.setItalic((font.Style & TWaterMarkFont::Italic) != 0);
    result.setUnderline((font.Style & TWaterMarkFont::Underline) != 0);
    result.setStrikeOut((font.Style & TWaterMarkFont::StrikeOut) != 0);
    return result;
}

QSize WaterMarkTextExtent(const std::string& text, const TWaterMarkFont& font) {
    const QFontMetrics metrics(WaterMarkQFont(font));
    return {metrics.horizontalAdvance(QString::fromStdString(text)), metrics.height()};
}

bool CanDrawWaterMarkText() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

namespace {

// The part of the frame under rect, as a toolkit image.
QImage FramePart(const TBitmap24& frame, const QRect& rect) {
    const QImage view(frame.ScanLine(rect.top()) + rect.left() * 3, rect.width(), rect.height(),
                      frame.Stride(), QImage::Format_BGR888);
    return view.convertToFormat(QImage::Format_RGB32);
}

// The part of the box (left, top, width, height) inside the frame; empty when none is.
QRect VisiblePart(const TBitmap24& frame, std::int64_t left, std::int64_t top, std::int64_t width,
                  std::int64_t height) {
    const std::int64_t x0 = std::max<std::int64_t>(left, 0);
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t x1 = std::min<std::int64_t>(left + width, frame.Width());
    const std::int64_t y1 = std::min<std::int64_t>(top + height, frame.Height());
    if (x1 <= x0 || y1 <= y0) {
        return {};
    }
    return QRect(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                 static_cast<int>(y1 - y0));
}

} // namespace

void DrawWaterMarkText(TBitmap24& frame, const TWmRec& item) {
    if (!CanDrawWaterMarkText()) {
        throw std::runtime_error(appmsg::TextNeedsGuiApplication);
    }
    // Only the part of the box inside the frame is ever blended; the rest is not drawn.
    const QRect visible =
        VisiblePart(frame, item.TextLeft, item.TextTop, item.TextWidth, item.TextHeight);
    if (visible.isEmpty()) {
        return;
    }
    QImage work;
    if (item.HasBackColor) {
        work = QImage(visible.size(), QImage::Format_RGB32);
        work.fill(Qt::white);
    } else {
        work = FramePart(frame, visible);
    }
    const QFont font = WaterMarkQFont(item.Font);
    const QFontMetrics metrics(font);
    const QString text = QString::fromStdString(item.Text);
    {
        QPainter painter(&work);
        painter.translate(item.TextLeft - visible.left(), item.TextTop - visible.top());
        if (item.HasBackColor) {
            // The text's own cell takes the background colour.
            painter.fillRect(QRect(0, 0, metrics.horizontalAdvance(text), metrics.height()),
                             WaterMarkColor(item.BackColor));
        }
        painter.setFont(font);
        painter.setPen(WaterMarkColor(item.Font.Color));
        painter.drawText(QPoint(0, metrics.ascent()), text);
    }
    BlendBitmap(frame, BitmapFromImage(work), visible.left(), visible.top(), item.TextOpacity);
}
