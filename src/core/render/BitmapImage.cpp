#include "BitmapImage.h"

#include "Bitmap24.h"

#include <cstring>

QImage ImageFromBitmap(const TBitmap24& bitmap) {
    if (bitmap.Empty()) {
        return {};
    }
    const QImage view(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(),
                      QImage::Format_BGR888);
    return view.convertToFormat(QImage::Format_RGB32);
}

TBitmap24 BitmapFromImage(const QImage& image) {
    if (image.isNull()) {
        return {};
    }
    QImage source = image;
    // A bitmap file's alpha byte carries no meaning for a 24-bit frame: keep the colours as
    // stored rather than blending them with black.
    if (source.format() == QImage::Format_ARGB32) {
        source.reinterpretAsFormat(QImage::Format_RGB32);
    }
    const QImage bgr = source.convertToFormat(QImage::Format_BGR888);
    TBitmap24 bitmap(bgr.width(), bgr.height());
    const size_t rowBytes = static_cast<size_t>(bgr.width()) * 3;
    for (int row = 0; row < bgr.height(); ++row) {
        std::memcpy(bitmap.ScanLine(row), bgr.constScanLine(row), rowBytes);
    }
    return bitmap;
}
