#include "SquarePixelFit.h"

#include <cmath>

namespace {

// One bar beside an inner size v (truncated) within total; always even.
int Bar(int total, long double v) {
    const long long whole = static_cast<long long>(std::trunc(v));
    return static_cast<int>(2 * ((total - 2 * (whole / 2)) / 4));
}

} // namespace

bool TPictureShape::SquarePixels() const {
    return SampleAspectNum <= 0 || SampleAspectDen <= 0 || SampleAspectNum == SampleAspectDen;
}

long double TPictureShape::DisplayWidth() const {
    if (SquarePixels()) {
        return Width;
    }
    return static_cast<long double>(Width) * SampleAspectNum / SampleAspectDen;
}

TFrameBars SquarePixelFit(const TPictureShape& picture, int frameWidth, int frameHeight) {
    TFrameBars bars;
    const long double sw = picture.DisplayWidth();
    const int sh = picture.Height;
    if (sw <= 0 || sh <= 0 || frameWidth <= 0 || frameHeight <= 0 ||
        (picture.SquarePixels() && frameWidth == picture.Width && frameHeight == sh)) {
        return bars;
    }
    const long double rw = sw / frameWidth;
    const long double rh = static_cast<long double>(sh) / frameHeight;
    if (rw > rh) {
        bars.Top = bars.Bottom = Bar(frameHeight, sh / rw);
    } else if (rw < rh) {
        bars.Left = bars.Right = Bar(frameWidth, sw / rh);
    }
    return bars;
}
