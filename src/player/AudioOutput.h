#pragma once

#include "MediaPtr.h"
#include "PacketQueue.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TPlaybackControl;
class IPlaybackOwner;
class TSampleRing;

// The sound of one file: its decoder, its packet queue and the sound device. Packets are
// decoded inside the device's callback, resampled to the device's format (signed 16-bit, the
// device's channels and rate) and mixed at the player's volume. The callback takes no lock and
// allocates nothing beyond what the decoder does.
class TAudioOutput {
public:
    TAudioOutput(TPlaybackControl& control, IPlaybackOwner& owner, TSampleRing& ring);
    ~TAudioOutput();
    TAudioOutput(const TAudioOutput&) = delete;
    TAudioOutput& operator=(const TAudioOutput&) = delete;

    // Opens the decoder and the device (paused). False when either fails (reported).
    bool Open(AVFormatContext* context, int streamIndex);
    void Start();
    void Close();
    bool IsOpen() const { return device_.load() != 0; }

    TPacketQueue& Queue() { return queue_; }
    int StreamIndex() const { return streamIndex_; }
    // Microseconds, 0 when unknown.
    std::int64_t StreamDuration() const { return streamDuration_; }
    int Channels() const { return channels_; }
    int SampleRate() const { return sampleRate_; }
    // Bytes the device still holds and the time of the last callback, for the waveform.
    int HardwareBufferBytes() const { return hardwareBufferSize_; }
    double LastCallbackTime() const { return callbackTime_.load(std::memory_order_acquire); }
    void SetVisualising(bool on) { visualising_.store(on, std::memory_order_release); }

    // Pausing and resuming change the clock with the callback held off.
    void Pause(bool paused);

private:
    static void Callback(void* self, std::uint8_t* stream, int length);
    void Fill(std::uint8_t* stream, int length);
    // Bytes of sound decoded into buffer_, or -1 when there is none to give now.
    int DecodeFrame();
    int Resample(const AVFrame* frame);
    bool ConfigureResampler(const AVFrame& frame);
    int Synchronize(int bytes);
    void CopyToRing(int bytes);
    void LogError(const std::string& text);

    TPlaybackControl& control_;
    IPlaybackOwner& owner_;
    TSampleRing& ring_;
    TPacketQueue queue_;
    int streamIndex_ = -1;
    AVRational timeBase_{1, 1};
    std::int64_t streamDuration_ = 0;
    media::CodecContextPtr codec_;
    media::FramePtr frame_;
    media::PacketPtr packet_;
    media::SwrContextPtr resampler_;
    // What the resampler was made for.
    int inFormat_ = -1;
    int inRate_ = 0;
    AVChannelLayout inLayout_{};
    bool resamplerHolds_ = false;
    bool converterFailed_ = false;

    std::atomic<std::uint32_t> device_{0};
    int channels_ = 0;
    int sampleRate_ = 0;
    int bytesPerSecond_ = 1;
    int hardwareBufferSize_ = 0;
    std::vector<std::uint8_t> buffer_; // decoded, resampled sound
    int bufferSize_ = 0;
    int bufferIndex_ = 0;
    bool silent_ = false;
    double clock_ = 0; // time at the end of what was decoded, seconds
    bool clockSet_ = false;

    // Synchronisation when another clock is the master.
    double diffCumulative_ = 0;
    double diffCoefficient_ = 0;
    double diffThreshold_ = 0;
    int diffCount_ = 0;

    std::atomic<double> callbackTime_{0};
    double callbackEnd_ = 0; // callback thread only
    std::atomic<bool> visualising_{false};
};
