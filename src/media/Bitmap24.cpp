#include "Bitmap24.h"

TBitmap24::TBitmap24(int width, int height) {
    Resize(width, height);
}

void TBitmap24::Resize(int width, int height) {
    if (width <= 0 || height <= 0) {
        Clear();
        return;
    }
    if (width == width_ && height == height_) {
        return;
    }
    width_ = width;
    height_ = height;
    stride_ = StrideFor(width);
    pixels_.assign(static_cast<size_t>(stride_) * static_cast<size_t>(height), 0);
}

void TBitmap24::Clear() {
    width_ = height_ = stride_ = 0;
    pixels_.clear();
}
