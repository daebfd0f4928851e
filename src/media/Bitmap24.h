#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A 24-bit blue-green-red picture, rows top to bottom, each row padded to a multiple of four
// bytes, so a toolkit image can wrap the memory without copying.
class TBitmap24 {
public:
    TBitmap24() = default;
    TBitmap24(int width, int height);

    void Resize(int width, int height);
    void Clear();

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return stride_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }

    std::uint8_t* Bits() { return pixels_.data(); }
    const std::uint8_t* Bits() const { return pixels_.data(); }
    std::uint8_t* ScanLine(int row) { return pixels_.data() + static_cast<size_t>(row) * stride_; }
    const std::uint8_t* ScanLine(int row) const {
        return pixels_.data() + static_cast<size_t>(row) * stride_;
    }

    static int StrideFor(int width) { return (width * 3 + 3) & ~3; }

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::vector<std::uint8_t> pixels_;
};
