#pragma once

#include "Bitmap24.h"
#include "MediaPtr.h"

#include <cstdint>

// Converts decoded pictures into a 24-bit BGR bitmap and back; one per hook or snapshot user.
class TRGBConverter {
public:
    TRGBConverter() = default;
    TRGBConverter(const TRGBConverter&) = delete;
    TRGBConverter& operator=(const TRGBConverter&) = delete;

    void Reset();

    // Fills Bitmap() from the picture; false when no conversion context can be made.
    bool ToBitmap(const std::uint8_t* const data[4], const int linesize[4], int pixFmt, int height,
                  int width);
    // Writes Bitmap() back into a picture of that format and size (after a handler drew on it).
    bool FromBitmap(std::uint8_t* const data[4], const int linesize[4], int pixFmt, int height,
                    int width);

    TBitmap24& Bitmap() { return bitmap_; }
    const TBitmap24& Bitmap() const { return bitmap_; }
    int PixFmt() const { return AV_PIX_FMT_BGR24; }

private:
    TBitmap24 bitmap_;
    media::SwsContextPtr toRGB_;
    media::SwsContextPtr fromRGB_;
};
