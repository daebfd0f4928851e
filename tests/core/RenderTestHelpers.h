#pragma once

#include "Bitmap24.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace render_test {

// A frame of reproducible noise, so that any changed pixel shows.
inline TBitmap24 Noise(int width, int height, std::uint32_t seed = 1) {
    TBitmap24 frame(width, height);
    std::uint32_t state = seed;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width * 3; ++x) {
            state = state * 1664525u + 1013904223u;
            frame.ScanLine(y)[x] = static_cast<std::uint8_t>(state >> 24);
        }
    }
    return frame;
}

inline TBitmap24 Filled(int width, int height, int level) {
    TBitmap24 frame(width, height);
    for (int y = 0; y < height; ++y) {
        std::fill(frame.ScanLine(y), frame.ScanLine(y) + width * 3, level);
    }
    return frame;
}

// The part (x, y, width, height) of a frame.
inline TBitmap24 Crop(const TBitmap24& frame, int x, int y, int width, int height) {
    TBitmap24 part(width, height);
    for (int row = 0; row < height; ++row) {
        std::copy_n(frame.ScanLine(y + row) + x * 3, width * 3, part.ScanLine(row));
    }
    return part;
}

inline bool SamePixels(const TBitmap24& a, const TBitmap24& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) {
        return false;
    }
    for (int y = 0; y < a.Height(); ++y) {
        if (!std::equal(a.ScanLine(y), a.ScanLine(y) + a.Width() * 3, b.ScanLine(y))) {
            return false;
        }
    }
    return true;
}

inline const std::uint8_t* Pixel(const TBitmap24& frame, int x, int y) {
    return frame.ScanLine(y) + x * 3;
}

// A rectangle of a frame, in pixels.
struct TRect {
    int Left, Top, Width, Height;
    bool Overlaps(int x, int y, int size) const {
        return x < Left + Width && Left < x + size && y < Top + Height && Top < y + size;
    }
};

// Mean absolute difference of the worst 16 by 16 block of two frames of the same size, leaving
// out the blocks that overlap one of the rectangles.
inline double WorstBlock(const TBitmap24& a, const TBitmap24& b,
                         const std::vector<TRect>& skip = {}) {
    double worst = 0;
    for (int by = 0; by + 16 <= a.Height(); by += 16) {
        for (int bx = 0; bx + 16 <= a.Width(); bx += 16) {
            if (std::any_of(skip.begin(), skip.end(),
                            [&](const TRect& r) { return r.Overlaps(bx, by, 16); })) {
                continue;
            }
            long sum = 0;
            for (int y = by; y < by + 16; ++y) {
                for (int x = bx * 3; x < (bx + 16) * 3; ++x) {
                    sum += std::abs(a.ScanLine(y)[x] - b.ScanLine(y)[x]);
                }
            }
            worst = std::max(worst, sum / (16.0 * 16 * 3));
        }
    }
    return worst;
}

// Mean absolute difference inside a rectangle.
inline double MeanDifference(const TBitmap24& a, const TBitmap24& b, const TRect& r) {
    long sum = 0;
    for (int y = r.Top; y < r.Top + r.Height; ++y) {
        for (int x = r.Left * 3; x < (r.Left + r.Width) * 3; ++x) {
            sum += std::abs(a.ScanLine(y)[x] - b.ScanLine(y)[x]);
        }
    }
    return sum / (r.Width * r.Height * 3.0);
}

// The pictures of a raw file of 24-bit blue-green-red frames.
inline std::vector<TBitmap24> ReadRawFrames(const std::string& path, int width, int height) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const size_t frameBytes = static_cast<size_t>(width) * height * 3;
    std::vector<TBitmap24> frames;
    for (size_t offset = 0; offset + frameBytes <= bytes.size(); offset += frameBytes) {
        TBitmap24 frame(width, height);
        for (int y = 0; y < height; ++y) {
            std::copy_n(bytes.data() + offset + static_cast<size_t>(y) * width * 3, width * 3,
                        frame.ScanLine(y));
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

// Every frame of a media file decoded by the ffmpeg tool.
inline std::vector<TBitmap24> DecodeFrames(const std::string& path, const std::string& scratch,
                                           int width, int height) {
    testing_support::Ffmpeg("-i " + testing_support::ShellQuote(path) +
                            " -f rawvideo -pix_fmt bgr24 " + testing_support::ShellQuote(scratch));
    return ReadRawFrames(scratch, width, height);
}

} // namespace render_test
