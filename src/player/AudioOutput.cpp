#include "AudioOutput.h"

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "MediaUtils.h"
#include "PlaybackControl.h"
#include "PlaybackOwner.h"
#include "PlayerMessages.h"
#include "Waveform.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The libraries' old largest audio frame (192000 bytes) times 3 / 2.
constexpr size_t kBufferBytes = 288000;
constexpr int kDeviceSamples = 1024;
constexpr int kSilenceBytes = 1024;
constexpr int kSyncAverageFrames = 20;

} // namespace

TAudioOutput::TAudioOutput(TPlaybackControl& control, IPlaybackOwner& owner, TSampleRing& ring)
    : control_(control), owner_(owner), ring_(ring) {}

TAudioOutput::~TAudioOutput() {
    Close();
}

void TAudioOutput::LogError(const std::string& text) {
    LoggerInstance().Log(owner_.LogSender(), llError, text);
}

bool TAudioOutput::Open(AVFormatContext* context, int streamIndex) {
    AVStream* stream = context->streams[streamIndex];
    const AVCodec* decoder = fn::avcodec_find_decoder(stream->codecpar->codec_id);
    codec_.reset(fn::avcodec_alloc_context3(decoder));
    if (decoder == nullptr || !codec_ ||
        fn::avcodec_parameters_to_context(codec_.get(), stream->codecpar) < 0) {
        LogError(playermsg::CodecOpenFailed);
        codec_.reset();
        return false;
    }
    codec_->pkt_timebase = stream->time_base;
    codec_->workaround_bugs = 1;
    codec_->error_concealment = 3;
    codec_->thread_count = 0;
    {
        std::lock_guard lock(CodecLock());
        if (fn::avcodec_open2(codec_.get(), decoder, nullptr) < 0) {
            codec_.reset();
        }
    }
    if (!codec_) {
        LogError(playermsg::CodecOpenFailed);
        return false;
    }
    const int streamChannels = codec_->ch_layout.nb_channels;
    SDL_AudioSpec wanted{};
    wanted.freq = codec_->sample_rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels =
        static_cast<Uint8>(streamChannels == 1 || streamChannels == 2 ? streamChannels : 2);
    wanted.samples = kDeviceSamples;
    wanted.callback = &TAudioOutput::Callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    // Opened paused: the callback cannot run before the fields below are set.
    const std::uint32_t device =
        fn::SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained,
                                SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (device == 0 || obtained.freq <= 0 || obtained.channels == 0) {
        LogError(std::string(playermsg::OpenAudioFailed) + fn::SDL_GetError());
        if (device != 0) {
            fn::SDL_CloseAudioDevice(device);
        }
        std::lock_guard lock(CodecLock());
        codec_.reset();
        return false;
    }
    streamIndex_ = streamIndex;
    timeBase_ = stream->time_base;
    channels_ = obtained.channels;
    sampleRate_ = obtained.freq;
    bytesPerSecond_ = sampleRate_ * channels_ * 2;
    hardwareBufferSize_ = static_cast<int>(obtained.size);
    streamDuration_ = stream->duration != AV_NOPTS_VALUE
                          ? fn::av_rescale_q(stream->duration, stream->time_base, AV_TIME_BASE_Q)
                          : 0;
    frame_.reset(fn::av_frame_alloc());
    packet_.reset(fn::av_packet_alloc());
    buffer_.assign(kBufferBytes, 0);
    bufferSize_ = bufferIndex_ = 0;
    // Averaging over about 20 frames; corrections start once the average passes one buffer.
    diffCoefficient_ = std::exp(std::log(0.01) / kSyncAverageFrames);
    diffThreshold_ = 2.0 * kDeviceSamples / sampleRate_;
    diffCumulative_ = 0;
    diffCount_ = 0;
    queue_.Flush();
    device_.store(device);
    return true;
}

void TAudioOutput::Start() {
    if (const std::uint32_t device = device_.load()) {
        fn::SDL_PauseAudioDevice(device, 0);
    }
}

void TAudioOutput::Close() {
    queue_.Abort();
    if (const std::uint32_t device = device_.exchange(0)) {
        // Returns once the callback has left for good.
        fn::SDL_CloseAudioDevice(device);
    }
    if (codec_) {
        std::lock_guard lock(CodecLock());
        codec_.reset();
    }
    resampler_.reset();
    fn::av_channel_layout_uninit(&inLayout_);
}

void TAudioOutput::Pause(bool paused) {
    // Held off, the callback cannot hand out sound between the flag and the clock.
    const std::uint32_t device = device_.load();
    if (device != 0) {
        fn::SDL_LockAudioDevice(device);
    }
    const double now = PlaybackNow();
    control_.paused.store(paused);
    if (paused) {
        control_.audioClock.Pause(now);
    } else {
        control_.audioClock.Resume(now);
    }
    if (device != 0) {
        fn::SDL_UnlockAudioDevice(device);
    }
}

void TAudioOutput::Callback(void* self, std::uint8_t* stream, int length) {
    static_cast<TAudioOutput*>(self)->Fill(stream, length);
}

void TAudioOutput::Fill(std::uint8_t* stream, int length) {
    const double now = PlaybackNow();
    callbackTime_.store(now, std::memory_order_release);
    const double bufferSeconds = static_cast<double>(length) / bytesPerSecond_;
    if (callbackEnd_ > 0 && now - callbackEnd_ > 2 * bufferSeconds) {
        control_.deviceStalls.fetch_add(1, std::memory_order_relaxed);
    }
    struct TNoteEnd {
        double& end;
        ~TNoteEnd() { end = PlaybackNow(); }
    } noteEnd{callbackEnd_};
    if (control_.paused.load()) {
        std::memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    bool starved = false;
    while (length > 0) {
        if (bufferIndex_ >= bufferSize_) {
            const int bytes = DecodeFrame();
            if (bytes < 0) {
                silent_ = true;
                starved = true;
                bufferSize_ = kSilenceBytes;
            } else {
                silent_ = false;
                if (visualising_.load(std::memory_order_acquire)) {
                    CopyToRing(bytes);
                }
                bufferSize_ = Synchronize(bytes);
            }
            bufferIndex_ = 0;
        }
        const int chunk = std::min(length, bufferSize_ - bufferIndex_);
        const int volume = owner_.Volume();
        if (silent_ || owner_.Muted() || volume <= 0) {
            std::memset(stream, 0, static_cast<size_t>(chunk));
        } else if (volume >= SDL_MIX_MAXVOLUME) {
            std::memcpy(stream, buffer_.data() + bufferIndex_, static_cast<size_t>(chunk));
        } else {
            std::memset(stream, 0, static_cast<size_t>(chunk));
            fn::SDL_MixAudioFormat(stream, buffer_.data() + bufferIndex_, AUDIO_S16SYS,
                                   static_cast<Uint32>(chunk), volume);
        }
        length -= chunk;
        stream += chunk;
        bufferIndex_ += chunk;
    }
    if (!clockSet_) {
        return;
    }
    if (starved) {
        control_.audioClock.Freeze(clock_);
    } else {
        // What was handed out now starts after what the device still holds.
        const double handed =
            clock_ - static_cast<double>(bufferSize_ - bufferIndex_) / bytesPerSecond_;
        control_.audioClock.Set(handed - 2.0 * hardwareBufferSize_ / bytesPerSecond_, handed, now);
    }
}

int TAudioOutput::DecodeFrame() {
    for (;;) {
        if (resamplerHolds_) {
            const int bytes = Resample(nullptr);
            if (bytes > 0) {
                return bytes;
            }
        }
        int ret = fn::avcodec_receive_frame(codec_.get(), frame_.get());
        if (ret >= 0) {
            if (frame_->pts != AV_NOPTS_VALUE) {
                clock_ = static_cast<double>(frame_->pts) * timeBase_.num / timeBase_.den;
                clockSet_ = true;
            } else if (!clockSet_) {
                clock_ = static_cast<double>(control_.startTime) / AV_TIME_BASE;
                clockSet_ = true;
            }
            const int bytes = Resample(frame_.get());
            fn::av_frame_unref(frame_.get());
            if (bytes > 0) {
                return bytes;
            }
            continue;
        }
        if (ret == AVERROR_EOF) {
            fn::avcodec_flush_buffers(codec_.get());
            return -1;
        }
        if (ret != AVERROR(EAGAIN)) {
            LoggerInstance().Log(owner_.LogSender(), llInfo, playermsg::DecodeAudioFailed);
            return -1;
        }
        if (control_.paused.load() || control_.abortRequest.load()) {
            return -1;
        }
        switch (queue_.Get(packet_.get(), false)) {
        case TPacketQueue::TResult::Aborted:
        case TPacketQueue::TResult::Empty:
            return -1;
        case TPacketQueue::TResult::Flush:
            fn::avcodec_flush_buffers(codec_.get());
            resamplerHolds_ = false;
            if (resampler_) {
                fn::swr_init(resampler_.get()); // drops what it buffered
            }
            continue;
        case TPacketQueue::TResult::Packet:
            break;
        }
        ret = fn::avcodec_send_packet(codec_.get(),
                                      packet_->data != nullptr ? packet_.get() : nullptr);
        fn::av_packet_unref(packet_.get());
        if (ret < 0 && ret != AVERROR(EAGAIN) && ret != AVERROR_EOF) {
            LoggerInstance().Log(owner_.LogSender(), llInfo, playermsg::DecodeAudioFailed);
        }
    }
}

bool TAudioOutput::ConfigureResampler(const AVFrame& frame) {
    if (resampler_ && frame.format == inFormat_ && frame.sample_rate == inRate_ &&
        fn::av_channel_layout_compare(&frame.ch_layout, &inLayout_) == 0) {
        return true;
    }
    resampler_.reset();
    fn::av_channel_layout_uninit(&inLayout_);
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        fn::av_channel_layout_default(&inLayout_, frame.ch_layout.nb_channels);
    } else {
        fn::av_channel_layout_copy(&inLayout_, &frame.ch_layout);
    }
    inFormat_ = frame.format;
    inRate_ = frame.sample_rate;
    AVChannelLayout outLayout{};
    fn::av_channel_layout_default(&outLayout, channels_);
    SwrContext* swr = nullptr;
    int ret = fn::swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_S16, sampleRate_, &inLayout_,
                                      static_cast<AVSampleFormat>(frame.format), frame.sample_rate,
                                      0, nullptr);
    resampler_.reset(swr);
    fn::av_channel_layout_uninit(&outLayout);
    if (ret >= 0) {
        ret = fn::swr_init(swr);
    }
    if (ret < 0) {
        resampler_.reset();
        if (!converterFailed_) {
            converterFailed_ = true;
            const char* from =
                fn::av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame.format));
            LogError(Format(playermsg::CannotConvertSampleFormat, from ? from : "?",
                            fn::av_get_sample_fmt_name(AV_SAMPLE_FMT_S16)));
        }
        return false;
    }
    return true;
}

int TAudioOutput::Resample(const AVFrame* frame) {
    if (frame != nullptr && !ConfigureResampler(*frame)) {
        return -1;
    }
    if (!resampler_) {
        resamplerHolds_ = false;
        return -1;
    }
    std::uint8_t* out[1] = {buffer_.data()};
    const int capacity = static_cast<int>(buffer_.size()) / (2 * channels_);
    const int samples = fn::swr_convert(
        resampler_.get(), out, capacity,
        frame != nullptr ? const_cast<const std::uint8_t**>(frame->extended_data) : nullptr,
        frame != nullptr ? frame->nb_samples : 0);
    if (samples < 0) {
        resamplerHolds_ = false;
        LogError(playermsg::AudioConvertFailed);
        return -1;
    }
    // A full buffer may leave samples inside the resampler for the next call.
    resamplerHolds_ = samples == capacity;
    clock_ += static_cast<double>(samples) / sampleRate_;
    return samples * 2 * channels_;
}

// Only when another clock leads: a little sound is cut or repeated so the audio clock follows.
int TAudioOutput::Synchronize(int bytes) {
    if (control_.Master() == TSyncMaster::Audio) {
        return bytes;
    }
    const double now = PlaybackNow();
    const double master = control_.MasterClock(now);
    const double audio = control_.AudioClock(now);
    if (std::isnan(master) || std::isnan(audio)) {
        return bytes;
    }
    const double diff = audio - master;
    if (std::fabs(diff) >= 10.0) {
        diffCumulative_ = 0;
        diffCount_ = 0;
        return bytes;
    }
    diffCumulative_ = diff + diffCoefficient_ * diffCumulative_;
    if (diffCount_ < kSyncAverageFrames) {
        ++diffCount_;
        return bytes;
    }
    if (std::fabs(diffCumulative_ * (1.0 - diffCoefficient_)) < diffThreshold_) {
        return bytes;
    }
    const int frameBytes = 2 * channels_;
    const int frames = bytes / frameBytes;
    int wanted = frames + static_cast<int>(std::rint(diff * sampleRate_));
    wanted = std::clamp(wanted, frames * 90 / 100, frames * 110 / 100);
    const int capacity = static_cast<int>(buffer_.size()) / frameBytes;
    wanted = std::min(wanted, capacity);
    if (wanted > frames && frames > 0) {
        const std::uint8_t* last = buffer_.data() + static_cast<size_t>(frames - 1) * frameBytes;
        for (int i = frames; i < wanted; ++i) {
            std::memcpy(buffer_.data() + static_cast<size_t>(i) * frameBytes, last,
                        static_cast<size_t>(frameBytes));
        }
    }
    return wanted * frameBytes;
}

void TAudioOutput::CopyToRing(int bytes) {
    ring_.Write(reinterpret_cast<const std::int16_t*>(buffer_.data()), bytes / 2);
}
