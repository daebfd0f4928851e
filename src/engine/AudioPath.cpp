// The audio output path: volume, conversion with libswresample, synchronisation with the
// input time stamps, buffering whole encoder frames, encoding and the final flush.

#include "AudioPath.h"

#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"
#include "TranscodeState.h"

#include <algorithm>
#include <cmath>

namespace {

template <typename T, typename Wide> void ScaleInt(T* p, size_t n, int volume, Wide lo, Wide hi) {
    for (size_t i = 0; i < n; ++i) {
        const Wide v = (static_cast<Wide>(p[i]) * volume + 128) >> 8;
        p[i] = static_cast<T>(std::clamp(v, lo, hi));
    }
}

template <typename T> void ScaleFloat(T* p, size_t n, int volume) {
    const T factor = static_cast<T>(volume) / 256;
    for (size_t i = 0; i < n; ++i) {
        p[i] = std::clamp(p[i] * factor, T(-1), T(1));
    }
}

// Input sample pointers advanced by skip samples.
void OffsetPointers(const AVFrame* frame, int skip, std::uint8_t** out) {
    const auto fmt = static_cast<AVSampleFormat>(frame->format);
    const int bps = fn::av_get_bytes_per_sample(fmt);
    const int channels = frame->ch_layout.nb_channels;
    if (fn::av_sample_fmt_is_planar(fmt)) {
        for (int c = 0; c < channels; ++c) {
            out[c] = frame->extended_data[c] + static_cast<size_t>(skip) * bps;
        }
    } else {
        out[0] = frame->extended_data[0] + static_cast<size_t>(skip) * bps * channels;
    }
}

// The converted-samples buffer holds at least that many samples; grown, never shrunk.
void EnsureCapacity(AVOutputStream& ost, const AVCodecContext* enc, int samples) {
    if (samples <= ost.conv_capacity) {
        return;
    }
    const int channels = std::max(enc->ch_layout.nb_channels, 1);
    ost.conv_planes.assign(channels, nullptr);
    ost.conv_buffer.reset();
    ost.conv_capacity = 0;
    if (fn::av_samples_alloc(ost.conv_planes.data(), nullptr, channels, samples, enc->sample_fmt,
                             0) < 0) {
        throw FFmpegException(enginemsg::OutOfMemoryAudio);
    }
    ost.conv_buffer.reset(ost.conv_planes[0]);
    ost.conv_capacity = samples;
}

} // namespace

TAudioPath::TAudioPath(const TPendingSettings& pending, const TTaskSwitches& switches,
                       TPacketWriter& writer, const TEngineServices& services)
    : pending_(pending), switches_(switches), writer_(writer), services_(services) {}

void TAudioPath::apply_volume(AVFrame* frame) const {
    const int volume = switches_.audio_volume;
    if (volume == 256 || frame->nb_samples <= 0) {
        return;
    }
    if (fn::av_frame_make_writable(frame) < 0) {
        return;
    }
    const auto fmt = static_cast<AVSampleFormat>(frame->format);
    const bool planar = fn::av_sample_fmt_is_planar(fmt);
    const int channels = frame->ch_layout.nb_channels;
    const int planes = planar ? channels : 1;
    const size_t n = static_cast<size_t>(frame->nb_samples) * (planar ? 1 : channels);
    for (int p = 0; p < planes; ++p) {
        std::uint8_t* data = frame->extended_data[p];
        switch (fn::av_get_packed_sample_fmt(fmt)) {
        case AV_SAMPLE_FMT_U8:
            for (size_t i = 0; i < n; ++i) {
                const int v = (((data[i] - 128) * volume + 128) >> 8) + 128;
                data[i] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
            }
            break;
        case AV_SAMPLE_FMT_S16:
            // Clipped, never wrapped.
            ScaleInt<std::int16_t, int>(reinterpret_cast<std::int16_t*>(data), n, volume, -32768,
                                        32767);
            break;
        case AV_SAMPLE_FMT_S32:
            ScaleInt<std::int32_t, std::int64_t>(reinterpret_cast<std::int32_t*>(data), n, volume,
                                                 INT32_MIN, INT32_MAX);
            break;
        case AV_SAMPLE_FMT_FLT:
            ScaleFloat(reinterpret_cast<float*>(data), n, volume);
            break;
        case AV_SAMPLE_FMT_DBL:
            ScaleFloat(reinterpret_cast<double*>(data), n, volume);
            break;
        default:
            break;
        }
    }
}

void TAudioPath::setup_audio_resampler(AVOutputStream& ost, const AVFrame* frame) {
    const AVCodecContext* enc = ost.enc;
    const bool needed = frame->format != enc->sample_fmt ||
                        frame->sample_rate != enc->sample_rate ||
                        fn::av_channel_layout_compare(&frame->ch_layout, &enc->ch_layout) != 0 ||
                        switches_.audio_sync_method > 1;
    if (!needed) {
        ost.swr.reset();
        return;
    }
    if (ost.swr && ost.swr_in_fmt == frame->format && ost.swr_in_rate == frame->sample_rate &&
        fn::av_channel_layout_compare(&ost.swr_in_layout, &frame->ch_layout) == 0) {
        return;
    }
    // Made once per input format; a change of format (join mode) makes a new one.
    SwrContext* swr = nullptr;
    // This version of the library takes the layouts without const.
    int ret = fn::swr_alloc_set_opts2(
        &swr, const_cast<AVChannelLayout*>(&enc->ch_layout), enc->sample_fmt, enc->sample_rate,
        const_cast<AVChannelLayout*>(&frame->ch_layout), static_cast<AVSampleFormat>(frame->format),
        frame->sample_rate, 0, nullptr);
    ost.swr.reset(swr);
    // One channel spread over a pair is the same sound on both at full level: the library
    // gives each the centre speaker's share of -3 dB, which the matrix's volume undoes.
    if (ret >= 0 && frame->ch_layout.nb_channels == 1 && enc->ch_layout.nb_channels == 2) {
        ret = fn::av_opt_set(swr, "rematrix_volume", "1.4142135623730951", 0);
    }
    if (ret >= 0) {
        ret = fn::swr_init(swr);
    }
    if (ret < 0) {
        ost.swr.reset();
        throw FFmpegException(Format(enginemsg::CannotResample, frame->ch_layout.nb_channels,
                                     frame->sample_rate, enc->ch_layout.nb_channels,
                                     enc->sample_rate));
    }
    ost.swr_in_fmt = frame->format;
    ost.swr_in_rate = frame->sample_rate;
    fn::av_channel_layout_uninit(&ost.swr_in_layout);
    fn::av_channel_layout_copy(&ost.swr_in_layout, &frame->ch_layout);
}

void TAudioPath::do_audio_out(TTranscodeState& ts, AVOutputStream& ost, AVInputStream& ist,
                              const AVFrame* frame) {
    const AVCodecContext* enc = ost.enc;
    setup_audio_resampler(ost, frame);
    if (frame->sample_rate <= 0 || frame->nb_samples <= 0) {
        return;
    }
    const TSyncCut cut = sync_audio(ts, ost, ist, frame);
    if (cut.drop) {
        return;
    }
    if (cut.silence > 0) {
        EnsureCapacity(ost, enc, cut.silence);
        fn::av_samples_set_silence(ost.conv_planes.data(), 0, cut.silence,
                                   enc->ch_layout.nb_channels, enc->sample_fmt);
        fn::av_audio_fifo_write(ost.fifo.get(), reinterpret_cast<void**>(ost.conv_planes.data()),
                                cut.silence);
    }
    if (frame->ch_layout.nb_channels > 64) {
        return;
    }
    if (write_samples(ost, frame, cut.skip)) {
        encode_audio_fifo(ts, ost, false);
    }
}

TAudioPath::TSyncCut TAudioPath::sync_audio(TTranscodeState& ts, AVOutputStream& ost,
                                            AVInputStream& ist, const AVFrame* frame) {
    const int in_rate = frame->sample_rate;
    const int out_rate = ost.enc->sample_rate;
    const int in_samples = frame->nb_samples;
    // Everything counts in samples at the encoder's rate.
    const std::int64_t pending_samples = fn::av_audio_fifo_size(ost.fifo.get()) +
                                         (ost.swr ? fn::swr_get_delay(ost.swr.get(), out_rate) : 0);
    const std::int64_t syncPts =
        ost.sync_ist == ost.source_index ? ist.pts : ts.ist_table[ost.sync_ist]->pts;
    const double ipts = static_cast<double>(syncPts - pending_.start_time) / AV_TIME_BASE;
    TSyncCut cut;
    if (switches_.audio_sync_method != 0) {
        const double delta = ipts * out_rate - static_cast<double>(ost.sync_opts) -
                             static_cast<double>(pending_samples);
        if (std::fabs(delta) > 50) {
            cut = correct_drift(ost, ist, delta, in_rate, in_samples);
        }
        return cut;
    }
    // Samples before the start (decoded after a seek to an earlier key frame) are not
    // written: they would land before the video.
    if (ipts < 0 && pending_samples == 0) {
        cut.skip = static_cast<int>(std::min<double>(std::ceil(-ipts * in_rate), in_samples));
        if (cut.skip >= in_samples) {
            cut.drop = true;
            return cut;
        }
    }
    const double start = std::max(ipts, 0.0);
    ost.sync_opts = std::llrint(start * out_rate) - pending_samples;
    return cut;
}

TAudioPath::TSyncCut TAudioPath::correct_drift(AVOutputStream& ost, AVInputStream& ist,
                                               double delta, int inRate, int inSamples) {
    const int out_rate = ost.enc->sample_rate;
    const double idelta = delta * inRate / out_rate;
    TSyncCut cut;
    if (ist.is_start || std::fabs(delta) > switches_.audio_drift_threshold * out_rate) {
        if (idelta < 0) {
            cut.skip = static_cast<int>(std::min<double>(-idelta, inSamples));
            if (switches_.verbose > 2) {
                LoggerInstance().LogFmt(services_.sender, llVerbose, enginemsg::DiscardingSamples,
                                        static_cast<int>(-delta));
            }
            if (cut.skip >= inSamples) {
                cut.drop = true;
                return cut;
            }
            ist.is_start = false;
        } else {
            cut.silence = static_cast<int>(delta);
            ist.is_start = false;
            if (switches_.verbose > 2) {
                LoggerInstance().LogFmt(services_.sender, llVerbose, enginemsg::AddingSilence,
                                        cut.silence);
            }
        }
    } else if (switches_.audio_sync_method > 1 && ost.swr) {
        const int comp = static_cast<int>(
            std::clamp<double>(delta, -switches_.audio_sync_method, switches_.audio_sync_method));
        if (switches_.verbose > 2) {
            LoggerInstance().LogFmt(services_.sender, llVerbose, enginemsg::CompensatingDrift,
                                    delta, comp, out_rate);
        }
        fn::swr_set_compensation(ost.swr.get(), comp, out_rate);
    }
    return cut;
}

bool TAudioPath::write_samples(AVOutputStream& ost, const AVFrame* frame, int skip) {
    std::uint8_t* in[64] = {};
    OffsetPointers(frame, skip, in);
    const int count = frame->nb_samples - skip;
    if (!ost.swr) {
        if (fn::av_audio_fifo_write(ost.fifo.get(), reinterpret_cast<void**>(in), count) < count) {
            throw FFmpegException(enginemsg::OutOfMemoryAudio);
        }
        return true;
    }
    EnsureCapacity(ost, ost.enc, fn::swr_get_out_samples(ost.swr.get(), count));
    const int n = fn::swr_convert(ost.swr.get(), ost.conv_planes.data(), ost.conv_capacity,
                                  const_cast<const std::uint8_t**>(in), count);
    if (n < 0) {
        if (switches_.exit_on_error) {
            throw FFmpegException(enginemsg::ConvertFailed);
        }
        LoggerInstance().Log(services_.sender, llError, enginemsg::ConvertFailed);
        return false;
    }
    if (fn::av_audio_fifo_write(ost.fifo.get(), reinterpret_cast<void**>(ost.conv_planes.data()),
                                n) < n) {
        throw FFmpegException(enginemsg::OutOfMemoryAudio);
    }
    return true;
}

void TAudioPath::encode_audio_fifo(TTranscodeState& ts, AVOutputStream& ost, bool flush) {
    AVCodecContext* enc = ost.enc;
    const int frame_size = enc->frame_size;
    const bool variable =
        frame_size <= 1 || (enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0;
    const bool smallLast = variable || (enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
    AVAudioFifo* fifo = ost.fifo.get();
    AVFrame* f = ost.audio_frame.get();
    for (;;) {
        const int avail = fn::av_audio_fifo_size(fifo);
        if (avail <= 0) {
            break;
        }
        int n;
        int samples;
        if (variable) {
            n = samples = std::min(avail, frame_size > 1 ? frame_size : 4096);
        } else if (avail >= frame_size) {
            n = samples = frame_size;
        } else if (flush) {
            n = avail;
            samples = smallLast ? avail : frame_size; // padded with silence
        } else {
            break;
        }
        const bool reuse =
            f->buf[0] != nullptr && f->nb_samples == samples && fn::av_frame_is_writable(f);
        if (!reuse) {
            fn::av_frame_unref(f);
            f->nb_samples = samples;
            f->format = enc->sample_fmt;
            f->sample_rate = enc->sample_rate;
            if (fn::av_channel_layout_copy(&f->ch_layout, &enc->ch_layout) < 0 ||
                fn::av_frame_get_buffer(f, 0) < 0) {
                throw FFmpegException(enginemsg::OutOfMemoryAudio);
            }
        }
        if (fn::av_audio_fifo_read(fifo, reinterpret_cast<void**>(f->extended_data), n) < n) {
            throw FFmpegException(enginemsg::AudioEncodingFailed);
        }
        if (n < samples) {
            fn::av_samples_set_silence(f->extended_data, n, samples - n, enc->ch_layout.nb_channels,
                                       enc->sample_fmt);
        }
        f->pts = ost.sync_opts;
        writer_.encode_frame(ts, ost, f);
        ost.sync_opts += samples;
        ost.frame_number++;
    }
}

void TAudioPath::flush_audio(TTranscodeState& ts, AVOutputStream& ost) {
    if (ost.swr) {
        // What the resampler still holds.
        for (;;) {
            const int capacity = fn::swr_get_out_samples(ost.swr.get(), 0);
            if (capacity <= 0) {
                break;
            }
            EnsureCapacity(ost, ost.enc, capacity);
            const int n = fn::swr_convert(ost.swr.get(), ost.conv_planes.data(), ost.conv_capacity,
                                          nullptr, 0);
            if (n <= 0) {
                break;
            }
            fn::av_audio_fifo_write(ost.fifo.get(),
                                    reinterpret_cast<void**>(ost.conv_planes.data()), n);
        }
    }
    encode_audio_fifo(ts, ost, true);
    writer_.encode_frame(ts, ost, nullptr);
}
