#include "PictureSink.h"

#include <algorithm>
#include <new>

namespace {
constexpr int kAlignment = 64;
} // namespace

TSinkPicture::TSinkPicture(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      stride_((width_ * 4 + kAlignment - 1) / kAlignment * kAlignment) {
    const size_t bytes = static_cast<size_t>(std::max(stride_, kAlignment)) * std::max(height_, 1);
    pixels_.reset(static_cast<std::uint8_t*>(std::aligned_alloc(kAlignment, bytes)));
    if (!pixels_) {
        throw std::bad_alloc();
    }
}

void TSinkPicture::Fill(std::uint32_t bgra) {
    for (int y = 0; y < height_; ++y) {
        std::fill_n(reinterpret_cast<std::uint32_t*>(ScanLine(y)), width_, bgra);
    }
}
