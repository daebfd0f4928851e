#pragma once

#include "MediaPtr.h"
#include "PictureSink.h"

#include <cstdint>

class TBitmap24;

// Scales decoded pictures (or bitmaps a hook drew on) to the size they are shown at, in the
// sink's pixel layout. One per thread that scales.
class TPictureScaler {
public:
    // flags: the scaler's algorithm (SWS_*).
    explicit TPictureScaler(int flags);

    // False when no scaler can be made for that conversion.
    bool Scale(const std::uint8_t* const data[4], const int linesize[4], int pixFmt, int width,
               int height, TSinkPicture& target);
    bool Scale(const AVFrame& frame, TSinkPicture& target);
    bool Scale(const TBitmap24& bitmap, TSinkPicture& target);

private:
    int flags_;
    media::SwsContextPtr context_;
};
