#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class TSinkPicture;

// The most recent samples handed to the sound device, interleaved, for the waveform display.
// Written by the sound callback, read by the play thread.
class TSampleRing {
public:
    static constexpr int kSize = 131072;

    TSampleRing();
    void Write(const std::int16_t* samples, int count);
    std::int16_t At(int index) const {
        return samples_[static_cast<unsigned>(index) % kSize].load(std::memory_order_relaxed);
    }
    int WriteIndex() const { return writeIndex_.load(std::memory_order_acquire); }

private:
    std::unique_ptr<std::atomic<std::int16_t>[]> samples_;
    std::atomic<int> writeIndex_{0};
};

namespace waveform {

// Draws one band per channel of the samples around the playing point, white on black, with
// white lines between the bands. bufferedSamples: sample frames handed out but not yet heard.
void Draw(const TSampleRing& ring, int channels, int bufferedSamples, TSinkPicture& picture);

} // namespace waveform
