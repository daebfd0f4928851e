#include "Waveform.h"

#include "PictureSink.h"

#include <algorithm>
#include <climits>

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr int kZeroCrossingSearch = 1000;

int Wrap(int index) {
    index %= TSampleRing::kSize;
    return index < 0 ? index + TSampleRing::kSize : index;
}

void FillRect(TSinkPicture& picture, int x, int y, int width, int height, std::uint32_t colour) {
    const int x0 = std::max(x, 0);
    const int y0 = std::max(y, 0);
    const int x1 = std::min(x + width, picture.Width());
    const int y1 = std::min(y + height, picture.Height());
    for (int row = y0; row < y1; ++row) {
        auto* line = reinterpret_cast<std::uint32_t*>(picture.ScanLine(row));
        std::fill(line + x0, line + std::max(x0, x1), colour);
    }
}

// The steepest rising-to-falling zero crossing near the start, so the picture stands still.
int SteadyStart(const TSampleRing& ring, int start, int channels) {
    int best = INT_MIN;
    int chosen = start;
    for (int i = 0; i < kZeroCrossingSearch; i += channels) {
        const int idx = Wrap(start - i);
        const int a = ring.At(idx);
        const int b = ring.At(Wrap(idx + 4 * channels));
        const int c = ring.At(Wrap(idx + 5 * channels));
        const int d = ring.At(Wrap(idx + 9 * channels));
        const int score = a - d;
        if (best < score && (b ^ c) < 0) {
            best = score;
            chosen = idx;
        }
    }
    return chosen;
}

} // namespace

TSampleRing::TSampleRing() : samples_(new std::atomic<std::int16_t>[kSize]) {
    for (int i = 0; i < kSize; ++i) {
        samples_[i].store(0, std::memory_order_relaxed);
    }
}

void TSampleRing::Write(const std::int16_t* samples, int count) {
    int index = writeIndex_.load(std::memory_order_relaxed);
    for (int i = 0; i < count; ++i) {
        samples_[index].store(samples[i], std::memory_order_relaxed);
        index = (index + 1) % kSize;
    }
    writeIndex_.store(index, std::memory_order_release);
}

namespace waveform {

void Draw(const TSampleRing& ring, int channels, int bufferedSamples, TSinkPicture& picture) {
    picture.Fill(kBlack);
    const int width = picture.Width();
    const int height = picture.Height();
    if (channels <= 0 || width <= 0 || height <= 0) {
        return;
    }
    const int shown = width;
    const int delay = std::max(bufferedSamples + 2 * shown, shown);
    const int start = SteadyStart(ring, Wrap(ring.WriteIndex() - delay * channels), channels);
    const int band = height / channels;
    const int amplitude = band * 9 / 20;
    for (int ch = 0; ch < channels; ++ch) {
        int index = Wrap(start + ch);
        const int middle = ch * band + band / 2;
        for (int x = 0; x < width; ++x) {
            int y = (ring.At(index) * amplitude) >> 15;
            int top = middle;
            if (y < 0) {
                y = -y;
                top = middle - y;
            }
            FillRect(picture, x, top, 1, std::max(y, 1), kWhite);
            index = Wrap(index + channels);
        }
    }
    for (int ch = 1; ch < channels; ++ch) {
        FillRect(picture, 0, ch * band, width, 1, kWhite);
    }
}

} // namespace waveform
