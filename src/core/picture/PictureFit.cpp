#include "PictureFit.h"

#include <algorithm>
#include <cmath>
#include <vector>

TFitRect FitPicture(int sourceWidth, int sourceHeight, const TFitRect& box) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || box.Empty()) {
        return {};
    }
    const double a = static_cast<double>(sourceWidth) / box.Width;
    const double b = static_cast<double>(sourceHeight) / box.Height;
    // nearbyint rounds half to even in the default rounding mode.
    if (a >= b) {
        const int c = static_cast<int>(std::nearbyint((box.Height - sourceHeight / a) / 2));
        return {box.Left, box.Top + c, box.Width, box.Height - 2 * c};
    }
    const int c = static_cast<int>(std::nearbyint((box.Width - sourceWidth / b) / 2));
    return {box.Left + c, box.Top, box.Width - 2 * c, box.Height};
}

void FillBitmap(TBitmap24& bitmap, TRgb colour) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::uint8_t* p = bitmap.ScanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x, p += 3) {
            p[0] = colour.Blue;
            p[1] = colour.Green;
            p[2] = colour.Red;
        }
    }
}

namespace {

// Source positions of the target samples of one axis, in 1/256 source pixels.
std::vector<int> SamplePositions(int sourceSize, int targetSize) {
    std::vector<int> positions(static_cast<size_t>(targetSize));
    const double scale = static_cast<double>(sourceSize) / targetSize;
    const int last = (sourceSize - 1) * 256;
    for (int i = 0; i < targetSize; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        positions[i] = std::clamp(static_cast<int>(std::lround(centre * 256)), 0, last);
    }
    return positions;
}

} // namespace

void DrawStretched(TBitmap24& target, const TBitmap24& source, const TFitRect& rect) {
    if (source.Empty() || rect.Empty() || target.Empty()) {
        return;
    }
    const std::vector<int> xs = SamplePositions(source.Width(), rect.Width);
    const std::vector<int> ys = SamplePositions(source.Height(), rect.Height);
    const int x0 = std::max(0, -rect.Left);
    const int x1 = std::min(rect.Width, target.Width() - rect.Left);
    const int y0 = std::max(0, -rect.Top);
    const int y1 = std::min(rect.Height, target.Height() - rect.Top);
    for (int y = y0; y < y1; ++y) {
        const int sy = ys[y] >> 8;
        const int fy = ys[y] & 255;
        const std::uint8_t* above = source.ScanLine(sy);
        const std::uint8_t* below = source.ScanLine(std::min(sy + 1, source.Height() - 1));
        std::uint8_t* out = target.ScanLine(rect.Top + y) + 3 * (rect.Left + x0);
        for (int x = x0; x < x1; ++x) {
            const int sx = xs[x] >> 8;
            const int fx = xs[x] & 255;
            const int nx = std::min(sx + 1, source.Width() - 1);
            for (int c = 0; c < 3; ++c) {
                const int top = above[3 * sx + c] * (256 - fx) + above[3 * nx + c] * fx;
                const int bottom = below[3 * sx + c] * (256 - fx) + below[3 * nx + c] * fx;
                *out++ = static_cast<std::uint8_t>((top * (256 - fy) + bottom * fy + 32768) >> 16);
            }
        }
    }
}

TBitmap24 StretchBitmap(const TBitmap24& source, int width, int height) {
    TBitmap24 result(width, height);
    DrawStretched(result, source, {0, 0, width, height});
    return result;
}

TBitmap24 FittedPicture(const TBitmap24& source, int width, int height, TRgb background) {
    TBitmap24 result(width, height);
    FillBitmap(result, background);
    DrawStretched(result, source,
                  FitPicture(source.Width(), source.Height(), {0, 0, width, height}));
    return result;
}
