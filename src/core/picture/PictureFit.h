#pragma once

#include "Bitmap24.h"

#include <cstdint>

struct TFitRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    bool Empty() const { return Width <= 0 || Height <= 0; }
    bool operator==(const TFitRect&) const = default;
};

struct TRgb {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
};

// Where a picture of sourceWidth × sourceHeight goes in box when scaled to fit with its aspect
// ratio kept and centred: it spans the box's whole width or height, and the margin on the
// other axis is rounded half to even. Empty for an empty picture or box.
TFitRect FitPicture(int sourceWidth, int sourceHeight, const TFitRect& box);

void FillBitmap(TBitmap24& bitmap, TRgb colour);
// Draws source scaled (bilinear) over rect of target; parts outside target are clipped.
void DrawStretched(TBitmap24& target, const TBitmap24& source, const TFitRect& rect);
// A copy of source scaled to width × height; the aspect ratio is not kept.
TBitmap24 StretchBitmap(const TBitmap24& source, int width, int height);
// A width × height picture of the background colour with source fitted and centred on it.
TBitmap24 FittedPicture(const TBitmap24& source, int width, int height, TRgb background);
