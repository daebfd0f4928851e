#pragma once

#include <QImage>

class TBitmap24;

// Copies between the media layer's 24-bit frames and toolkit images.

// A 32-bit opaque image (QImage::Format_RGB32); a null image for an empty bitmap.
QImage ImageFromBitmap(const TBitmap24& bitmap);
// Any pixel format as 24 bits; an alpha channel is dropped, not blended.
TBitmap24 BitmapFromImage(const QImage& image);
