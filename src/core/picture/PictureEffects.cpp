#include "PictureEffects.h"

#include "Bitmap24.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int ContrastPivot = 170;

std::uint8_t ClampLevel(std::int64_t value) {
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(value, 0, 255));
}

// Levels after the contrast slope around the pivot; round half to even, as the curve was tuned.
std::array<std::uint8_t, 256> ContrastTable(int contrast) {
    if (contrast == 100) {
        contrast = 99; // the secant runs away at a right angle
    }
    // The two sides were tuned with different constants; both are kept.
    const long double factor = contrast > 0 ? 1.0L / std::cos(contrast * 0.015707963267948967L)
                                            : std::cos(contrast * 0.015708L);
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[i] = ClampLevel(std::llrint((i - ContrastPivot) * factor + ContrastPivot));
    }
    return table;
}

} // namespace

bool EffectsActive(int brightness, int contrast, int saturation, int exposure) {
    return brightness != NeutralBrightness || contrast != NeutralContrast ||
           saturation != NeutralSaturation || exposure != NeutralExposure;
}

bool EffectsActive(const TlvFilesRecord& job) {
    return EffectsActive(job.Brightness, job.Contrast, job.Saturation, job.Exposure);
}

bool WaterMarkItemActive(const TWmRec& item, std::int64_t pts) {
    const std::int64_t second = pts / 1000000;
    return item.StartSec <= second && second <= item.EndSec;
}

bool WaterMarkItemDrawable(const TWmRec& item) {
    switch (item.Kind) {
    case TWmRec::TextItem:
        return !item.Text.empty();
    case TWmRec::ImageItem:
        return !item.ImageFile.empty();
    default:
        return false;
    }
}

bool JobNeedsFrameHook(const TlvFilesRecord& job) {
    return EffectsActive(job) ||
           std::any_of(job.WaterMarks.begin(), job.WaterMarks.end(), WaterMarkItemDrawable);
}

void AdjustColors(TBitmap24& frame, int brightness, int contrast, int saturation) {
    brightness = std::clamp(brightness, 0, 512);
    contrast = std::clamp(contrast, -100, 100);
    saturation = std::clamp(saturation, 0, 512);

    const std::array<std::uint8_t, 256> contrastTable = ContrastTable(contrast);
    std::array<std::uint8_t, 256> tone{};
    for (int j = 0; j < 256; ++j) {
        tone[j] = contrastTable[ClampLevel((brightness * (j - 1) + 256) / 256)];
    }
    std::array<int, 256> spread{};
    for (int i = 0; i < 256; ++i) {
        spread[i] = ((i + 1) * saturation) >> 8;
    }
    // Indexed by b + g + r: the grey level's share once the channel's own spread is added.
    std::array<int, 768> grey{};
    for (int level = 0; level < 256; ++level) {
        const int value = level - spread[level];
        grey[3 * level] = grey[3 * level + 1] = grey[3 * level + 2] = value;
    }

    // The tone of every possible grey share plus spread, clamped once here instead of per pixel.
    constexpr int lowest = -512; // grey share 0 - 512 at saturation 512
    constexpr int highest = 255 + 512;
    std::array<std::uint8_t, highest - lowest + 1> toneOf{};
    for (int sum = lowest; sum <= highest; ++sum) {
        toneOf[sum - lowest] = tone[ClampLevel(sum)];
    }
    const std::uint8_t* const tones = toneOf.data() - lowest;

    for (int row = 0; row < frame.Height(); ++row) {
        std::uint8_t* p = frame.ScanLine(row);
        for (int column = 0; column < frame.Width(); ++column, p += 3) {
            const int base = grey[p[0] + p[1] + p[2]];
            p[0] = tones[base + spread[p[0]]];
            p[1] = tones[base + spread[p[1]]];
            p[2] = tones[base + spread[p[2]]];
        }
    }
}

void AdjustExposure(TBitmap24& frame, float exposure) {
    const long double x = exposure;
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        const long double e = std::exp((i / -128.0L) * (x / 128.0L));
        const std::int64_t k = std::llrint((1.0L - e) * 256);
        // Both products are non-negative, so the shifts divide by 256 rounding down.
        const std::int64_t level =
            x >= 0 ? i + ((k * (255 - i)) >> 8) : i - (((-k) * (255 - i)) >> 8);
        table[i] = ClampLevel(level);
    }
    for (int row = 0; row < frame.Height(); ++row) {
        std::uint8_t* p = frame.ScanLine(row);
        std::uint8_t* const end = p + static_cast<std::ptrdiff_t>(frame.Width()) * 3;
        for (; p != end; ++p) {
            *p = table[*p];
        }
    }
}

void BlendBitmap(TBitmap24& frame, const TBitmap24& overlay, int x, int y, int opacity) {
    const int a = std::clamp(opacity, 0, 255);
    // Overlay rows and columns that land inside the frame.
    const std::int64_t firstRow = std::max<std::int64_t>(0, -std::int64_t{y});
    const std::int64_t firstColumn = std::max<std::int64_t>(0, -std::int64_t{x});
    const std::int64_t rows =
        std::min<std::int64_t>(overlay.Height(), frame.Height() - std::int64_t{y});
    const std::int64_t columns =
        std::min<std::int64_t>(overlay.Width(), frame.Width() - std::int64_t{x});
    if (rows <= firstRow || columns <= firstColumn) {
        return; // wholly outside the frame
    }
    for (std::int64_t row = firstRow; row < rows; ++row) {
        const std::uint8_t* src = overlay.ScanLine(static_cast<int>(row)) + firstColumn * 3;
        std::uint8_t* dst = frame.ScanLine(static_cast<int>(y + row)) + (x + firstColumn) * 3;
        const std::uint8_t* const end = src + (columns - firstColumn) * 3;
        for (; src != end; ++src, ++dst) {
            *dst = static_cast<std::uint8_t>(((256 - a) * *dst + a * *src) >> 8);
        }
    }
}
