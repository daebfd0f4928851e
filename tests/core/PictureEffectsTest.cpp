// The pixel routines of the picture adjustments and the overlay blend, checked against the
// values the adjustment curves were tuned to, and the rules that decide when an item shows and
// when a conversion runs the frame hook.
#include "PictureEffects.h"
#include "Bitmap24.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <vector>

namespace {

using TPixel = std::array<int, 3>; // blue, green, red

// A frame of one row holding the given pixels.
TBitmap24 Row(const std::vector<TPixel>& pixels) {
    TBitmap24 frame(static_cast<int>(pixels.size()), 1);
    for (size_t i = 0; i < pixels.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            frame.ScanLine(0)[i * 3 + c] = static_cast<std::uint8_t>(pixels[i][c]);
        }
    }
    return frame;
}

TPixel At(const TBitmap24& frame, int x, int y) {
    const std::uint8_t* p = frame.ScanLine(y) + x * 3;
    return {p[0], p[1], p[2]};
}

TPixel Colors(TPixel pixel, int brightness, int contrast, int saturation) {
    TBitmap24 frame = Row({pixel});
    AdjustColors(frame, brightness, contrast, saturation);
    return At(frame, 0, 0);
}

// The exposure curve at the levels 0, 64, 128, 192 and 255.
std::vector<int> ExposureRow(float exposure) {
    TBitmap24 frame = Row({{0, 64, 128}, {192, 255, 0}});
    AdjustExposure(frame, exposure);
    const TPixel a = At(frame, 0, 0);
    const TPixel b = At(frame, 1, 0);
    return {a[0], a[1], a[2], b[0], b[1]};
}

TBitmap24 Filled(int width, int height, int level) {
    TBitmap24 frame(width, height);
    for (int y = 0; y < height; ++y) {
        std::fill(frame.ScanLine(y), frame.ScanLine(y) + width * 3, level);
    }
    return frame;
}

// The frame as text, one character per pixel: '#' for a changed pixel, '.' for an untouched one.
std::string Touched(const TBitmap24& frame, int untouchedLevel) {
    std::string text;
    for (int y = 0; y < frame.Height(); ++y) {
        for (int x = 0; x < frame.Width(); ++x) {
            text += At(frame, x, y)[0] == untouchedLevel ? '.' : '#';
        }
        text += '\n';
    }
    return text;
}

} // namespace

TEST(AdjustColors, CheckValuesOfTheTunedCurves) {
    const TPixel pixel{100, 150, 200};
    EXPECT_EQ(Colors(pixel, 255, 0, 255), (TPixel{99, 149, 199}));
    EXPECT_EQ(Colors(pixel, 256, 0, 0), (TPixel{150, 150, 150}));
    EXPECT_EQ(Colors(pixel, 256, 0, 512), (TPixel{50, 150, 250}));
    EXPECT_EQ(Colors(pixel, 512, 0, 256), (TPixel{199, 255, 255}));
    // With brightness and saturation at their identity (256) only the contrast works.
    EXPECT_EQ(Colors({100, 200, 0}, 256, 50, 256)[0], 71);
    EXPECT_EQ(Colors({100, 200, 0}, 256, 50, 256)[1], 212);
    EXPECT_EQ(Colors({100, 200, 0}, 256, -50, 256), (TPixel{121, 191, 50}));
    EXPECT_EQ(Colors({255, 170, 0}, 256, -50, 256), (TPixel{230, 170, 50}));
    EXPECT_EQ(Colors(pixel, 256, 0, 256), pixel);
}

TEST(AdjustColors, EdgeSettingsAndEveryPixelOfPaddedRows) {
    // The neutral brightness 255 is not an identity once the routine runs: levels from 2 drop.
    EXPECT_EQ(Colors({0, 1, 2}, 255, 0, 255), (TPixel{0, 1, 1}));
    EXPECT_EQ(Colors({255, 128, 255}, 255, 0, 255), (TPixel{254, 127, 254}));
    // Brightness 0 maps every level to the contrast table's level 1.
    EXPECT_EQ(Colors({0, 128, 255}, 0, 0, 256), (TPixel{1, 1, 1}));
    // Contrast -100 flattens everything to the pivot; 100 is taken as 99 and stays finite.
    EXPECT_EQ(Colors({0, 128, 255}, 256, -100, 256), (TPixel{170, 170, 170}));
    EXPECT_EQ(Colors({0, 168, 255}, 256, 100, 256), (TPixel{0, 43, 255}));
    EXPECT_EQ(Colors({0, 168, 255}, 256, 100, 256), Colors({0, 168, 255}, 256, 99, 256));

    // Rows of 3 pixels carry 3 bytes of padding; every pixel changes, no padding byte does.
    TBitmap24 frame = Filled(3, 2, 100);
    frame.ScanLine(0)[9] = 7;
    AdjustColors(frame, 512, 0, 256);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(At(frame, x, y), (TPixel{199, 199, 199})) << x << "," << y;
        }
    }
    EXPECT_EQ(frame.ScanLine(0)[9], 7);
}

TEST(AdjustExposure, CheckRows) {
    EXPECT_EQ(ExposureRow(100), (std::vector<int>{0, 125, 196, 235, 255}));
    EXPECT_EQ(ExposureRow(-100), (std::vector<int>{0, 0, 0, 52, 255}));
    EXPECT_EQ(ExposureRow(512), (std::vector<int>{0, 228, 252, 254, 255}));
    EXPECT_EQ(ExposureRow(-255), (std::vector<int>{0, 0, 0, 0, 255}));
    EXPECT_EQ(ExposureRow(0), (std::vector<int>{0, 64, 128, 192, 255}));
}

TEST(BlendBitmap, OpacityAndClippingAtEveryEdge) {
    TBitmap24 black = Filled(2, 2, 0);
    BlendBitmap(black, Filled(2, 2, 255), 0, 0, 255);
    EXPECT_EQ(At(black, 1, 1), (TPixel{254, 254, 254}));
    TBitmap24 kept = Filled(2, 2, 90);
    BlendBitmap(kept, Filled(2, 2, 255), 0, 0, 0);
    EXPECT_EQ(At(kept, 0, 0), (TPixel{90, 90, 90}));
    TBitmap24 half = Filled(1, 1, 100);
    BlendBitmap(half, Filled(1, 1, 200), 0, 0, 128);
    EXPECT_EQ(At(half, 0, 0), (TPixel{150, 150, 150}));

    const TBitmap24 overlay = Filled(3, 2, 255);
    const auto blended = [&](int x, int y) {
        TBitmap24 frame = Filled(5, 4, 0);
        BlendBitmap(frame, overlay, x, y, 255);
        return Touched(frame, 0);
    };
    EXPECT_EQ(blended(1, 1), ".....\n.###.\n.###.\n.....\n");
    EXPECT_EQ(blended(3, 3), ".....\n.....\n.....\n...##\n");   // right and bottom
    EXPECT_EQ(blended(-2, -1), "#....\n.....\n.....\n.....\n"); // left and top
    EXPECT_EQ(blended(-1, 3), ".....\n.....\n.....\n##...\n");
    // Wholly outside on any side, or far away, draws nothing.
    const std::string none = ".....\n.....\n.....\n.....\n";
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{
             {5, 0}, {0, 4}, {-3, 0}, {0, -2}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}}) {
        EXPECT_EQ(blended(x, y), none) << x << "," << y;
    }
    // The overlay's own pixels land where they belong when cut on the left and top.
    TBitmap24 ramp(3, 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            std::fill_n(ramp.ScanLine(y) + x * 3, 3, 10 * (y * 3 + x) + 10);
        }
    }
    TBitmap24 frame = Filled(2, 2, 0);
    BlendBitmap(frame, ramp, -1, -1, 255);
    EXPECT_EQ(At(frame, 0, 0)[0], 49); // ramp (1, 1) = 50, at full opacity 50 * 255 >> 8
    EXPECT_EQ(At(frame, 1, 0)[0], 59);
    EXPECT_EQ(At(frame, 0, 1)[0], 0);
}

TEST(WaterMarkTiming, WholeSecondsBothInclusive) {
    TWmRec item;
    item.StartSec = item.EndSec = 5;
    EXPECT_FALSE(WaterMarkItemActive(item, 4999999));
    EXPECT_TRUE(WaterMarkItemActive(item, 5000000));
    EXPECT_TRUE(WaterMarkItemActive(item, 5999999));
    EXPECT_FALSE(WaterMarkItemActive(item, 6000000));
    // 7,999,999 microseconds is still second 7.
    item.StartSec = item.EndSec = 7;
    EXPECT_TRUE(WaterMarkItemActive(item, 7999999));
    item.StartSec = item.EndSec = 8;
    EXPECT_FALSE(WaterMarkItemActive(item, 7999999));
    item.StartSec = 5;
    item.EndSec = 7;
    EXPECT_TRUE(WaterMarkItemActive(item, 7999999));
    EXPECT_FALSE(WaterMarkItemActive(item, INT64_MIN)); // no time stamp
}

TEST(WaterMarkTiming, WhenTheConversionRunsTheFrameHook) {
    TlvFilesRecord job;
    EXPECT_FALSE(EffectsActive(job));
    EXPECT_FALSE(JobNeedsFrameHook(job));
    for (auto field : {&TlvFilesRecord::Brightness, &TlvFilesRecord::Contrast,
                       &TlvFilesRecord::Saturation, &TlvFilesRecord::Exposure}) {
        TlvFilesRecord adjusted;
        adjusted.*field += 1;
        EXPECT_TRUE(JobNeedsFrameHook(adjusted));
    }
    // Items with nothing to draw do not switch the hook on.
    TWmRec blankText;
    TWmRec noImage;
    noImage.Kind = TWmRec::ImageItem;
    job.WaterMarks = {blankText, noImage};
    EXPECT_FALSE(JobNeedsFrameHook(job));
    // Any drawable item does, not only a first one.
    TWmRec image = noImage;
    image.ImageFile = "/tmp/logo.bmp";
    job.WaterMarks.push_back(image);
    EXPECT_TRUE(JobNeedsFrameHook(job));
    TWmRec text;
    text.Text = "Vantre";
    job.WaterMarks = {blankText, text};
    EXPECT_TRUE(JobNeedsFrameHook(job));
}
