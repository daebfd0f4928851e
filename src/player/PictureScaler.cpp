#include "PictureScaler.h"

#include "Bitmap24.h"

TPictureScaler::TPictureScaler(int flags) : flags_(flags) {}

bool TPictureScaler::Scale(const std::uint8_t* const data[4], const int linesize[4], int pixFmt,
                           int width, int height, TSinkPicture& target) {
    if (width <= 0 || height <= 0 || target.Width() <= 0 || target.Height() <= 0) {
        return false;
    }
    SwsContext* context = fn::sws_getCachedContext(
        context_.release(), width, height, static_cast<AVPixelFormat>(pixFmt), target.Width(),
        target.Height(), AV_PIX_FMT_BGRA, flags_, nullptr, nullptr, nullptr);
    context_.reset(context);
    if (context == nullptr) {
        return false;
    }
    std::uint8_t* dst[4] = {target.Bits(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {target.Stride(), 0, 0, 0};
    fn::sws_scale(context, data, linesize, 0, height, dst, dstStride);
    return true;
}

bool TPictureScaler::Scale(const AVFrame& frame, TSinkPicture& target) {
    return Scale(frame.data, frame.linesize, frame.format, frame.width, frame.height, target);
}

bool TPictureScaler::Scale(const TBitmap24& bitmap, TSinkPicture& target) {
    const std::uint8_t* data[4] = {bitmap.Bits(), nullptr, nullptr, nullptr};
    const int linesize[4] = {bitmap.Stride(), 0, 0, 0};
    return Scale(data, linesize, AV_PIX_FMT_BGR24, bitmap.Width(), bitmap.Height(), target);
}
