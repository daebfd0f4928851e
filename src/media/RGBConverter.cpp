#include "RGBConverter.h"

#include <cstring>

void TRGBConverter::Reset() {
    bitmap_.Clear();
    toRGB_.reset();
    fromRGB_.reset();
}

bool TRGBConverter::ToBitmap(const std::uint8_t* const data[4], const int linesize[4], int pixFmt,
                             int height, int width) {
    // An undescribed format must never reach the scaler (it asserts on it).
    if (fn::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(pixFmt)) == nullptr) {
        return false;
    }
    bitmap_.Resize(width, height);
    if (bitmap_.Empty()) {
        return false;
    }
    const bool direct = pixFmt == AV_PIX_FMT_BGR24 && width % 2 == 0 && height % 2 == 0 &&
                        linesize[0] == bitmap_.Stride();
    if (direct) {
        std::memcpy(bitmap_.Bits(), data[0], static_cast<size_t>(bitmap_.Stride()) * height);
        return true;
    }
    SwsContext* ctx = fn::sws_getCachedContext(
        toRGB_.release(), width, height, static_cast<AVPixelFormat>(pixFmt), width, height,
        AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    toRGB_.reset(ctx);
    if (ctx == nullptr) {
        return false;
    }
    std::uint8_t* dst[4] = {bitmap_.Bits(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {bitmap_.Stride(), 0, 0, 0};
    fn::sws_scale(ctx, data, linesize, 0, height, dst, dstStride);
    return true;
}

bool TRGBConverter::FromBitmap(std::uint8_t* const data[4], const int linesize[4], int pixFmt,
                               int height, int width) {
    if (bitmap_.Width() != width || bitmap_.Height() != height ||
        fn::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(pixFmt)) == nullptr) {
        return false;
    }
    if (pixFmt == AV_PIX_FMT_BGR24) {
        const size_t row = static_cast<size_t>(width) * 3;
        for (int y = 0; y < height; ++y) {
            std::memcpy(data[0] + static_cast<ptrdiff_t>(y) * linesize[0], bitmap_.ScanLine(y),
                        row);
        }
        return true;
    }
    SwsContext* ctx = fn::sws_getCachedContext(fromRGB_.release(), width, height, AV_PIX_FMT_BGR24,
                                               width, height, static_cast<AVPixelFormat>(pixFmt),
                                               SWS_BICUBIC, nullptr, nullptr, nullptr);
    fromRGB_.reset(ctx);
    if (ctx == nullptr) {
        return false;
    }
    const std::uint8_t* src[4] = {bitmap_.Bits(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {bitmap_.Stride(), 0, 0, 0};
    fn::sws_scale(ctx, src, srcStride, 0, height, data, linesize);
    return true;
}
