// Creating the streams of an output file from the pending settings.

#include "OutputStreams.h"

#include "EngineSettings.h"

#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "HardwareUpload.h"
#include "MediaUtils.h"
#include "UnicodeProtocol.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The stream and its slot; the stream id comes from the stream-id map.
TOutputStreamSlot& AddStream(TOutputFile& file, const std::array<int, MAX_STREAMS>& streamIds,
                             const AVCodec* codec) {
    AVStream* st = fn::avformat_new_stream(file.ctx.get(), nullptr);
    if (st == nullptr) {
        throw FFmpegException(enginemsg::CouldNotAllocStream);
    }
    if (st->index < MAX_STREAMS) {
        st->id = streamIds[st->index];
    }
    TOutputStreamSlot slot;
    slot.st = st;
    slot.enc.reset(fn::avcodec_alloc_context3(codec));
    if (!slot.enc) {
        throw FFmpegException(enginemsg::CouldNotAllocStream);
    }
    file.streams.push_back(std::move(slot));
    return file.streams.back();
}

AVRational SampleAspect(const TPendingSettings& p) {
    double value = p.frame_width != 0
                       ? static_cast<double>(p.frame_height) * p.frame_aspect_ratio / p.frame_width
                       : p.frame_aspect_ratio * 3.0 / 4.0;
    if (!(value > 0) || !std::isfinite(value)) {
        return AVRational{0, 1};
    }
    return fn::av_d2q(value, 255);
}

template <typename T> bool Listed(const T* list, T value, T end) {
    for (; list != nullptr && *list != end; ++list) {
        if (*list == value) {
            return true;
        }
    }
    return false;
}

void SetLanguage(AVStream* st, const std::string& language) {
    if (!language.empty()) {
        fn::av_dict_set(&st->metadata, "language", language.c_str(), 0);
    }
}

std::uint16_t* CopyMatrix(const std::vector<std::uint16_t>& matrix) {
    auto* m = static_cast<std::uint16_t*>(fn::av_mallocz(64 * sizeof(std::uint16_t)));
    if (m != nullptr) {
        std::memcpy(m, matrix.data(), std::min<size_t>(matrix.size(), 64) * sizeof(std::uint16_t));
    }
    return m;
}

} // namespace

TOutputStreams::TOutputStreams(const TRunSettings& run, TEngineSettings& settings)
    : pending_(run.pending), switches_(run.switches), contexts_(run.contexts),
      stream_ids_(run.streamIds), settings_(settings), services_(run.services) {}

const AVCodec* TOutputStreams::choose_encoder(const TOutputFile& file, AVMediaType type,
                                              const std::string& name, bool& byName) const {
    const AVCodecContext* templ = contexts_.CodecOpts(type);
    if (!name.empty()) {
        const AVCodec* codec = nullptr;
        if (!services_.findCodec(name, type, true, templ ? templ->strict_std_compliance : 0,
                                 codec)) {
            throw FFmpegException(services_.lastErrorText());
        }
        byName = true;
        return codec;
    }
    // Without a name the container's own codec is used; for subtitles its declared one.
    const AVCodecID id =
        type == AVMEDIA_TYPE_SUBTITLE
            ? file.ctx->oformat->subtitle_codec
            : fn::av_guess_codec(file.ctx->oformat, nullptr, file.ctx->url, nullptr, type);
    return services_.defaultEncoder(id);
}

TOutputStreamSlot& TOutputStreams::add_stream(TOutputFile& file, const AVCodec* codec,
                                              AVMediaType type) {
    try {
        return AddStream(file, stream_ids_, codec);
    } catch (...) {
        settings_.ClearCodecName(type);
        throw;
    }
}

void TOutputStreams::ParseRcOverride(AVCodecContext* enc) {
    const std::vector<std::string> entries = SplitText(pending_.video_rc_override_string, '/');
    std::vector<RcOverride> list;
    for (const std::string& entry : entries) {
        if (entry.empty()) {
            continue;
        }
        int start = 0, end = 0, q = 0;
        if (std::sscanf(entry.c_str(), "%d%*c%d%*c%d", &start, &end, &q) != 3) {
            throw FFmpegException(enginemsg::ErrorParsingRcOverride);
        }
        RcOverride o{};
        o.start_frame = start;
        o.end_frame = end;
        if (q > 0) {
            o.qscale = q;
            o.quality_factor = 1.0f;
        } else {
            o.qscale = 0;
            o.quality_factor = -q / 100.0f;
        }
        list.push_back(o);
    }
    if (list.empty()) {
        return;
    }
    auto* table = static_cast<RcOverride*>(fn::av_mallocz(list.size() * sizeof(RcOverride)));
    if (table == nullptr) {
        throw FFmpegException(enginemsg::AvMalloczFail);
    }
    std::memcpy(table, list.data(), list.size() * sizeof(RcOverride));
    fn::av_freep(&enc->rc_override);
    enc->rc_override = table;
    enc->rc_override_count = static_cast<int>(list.size());
}

void TOutputStreams::new_video_stream(TOutputFile& file) {
    const AVCodec* codec = nullptr;
    bool byName = false;
    if (!pending_.video_stream_copy) {
        codec = choose_encoder(file, AVMEDIA_TYPE_VIDEO, pending_.video_codec_name, byName);
    }
    TOutputStreamSlot& slot = add_stream(file, codec, AVMEDIA_TYPE_VIDEO);
    AVStream* st = slot.st;
    AVCodecContext* enc = slot.enc.get();
    enc->codec_type = AVMEDIA_TYPE_VIDEO;
    slot.bitstream_filters = settings_.TakeBitstreamFilters(AVMEDIA_TYPE_VIDEO);
    if (pending_.video_codec_tag != 0) {
        enc->codec_tag = pending_.video_codec_tag;
    }
    set_header_flags(enc, file.ctx->oformat);
    const AVRational sar = SampleAspect(pending_);
    if (pending_.video_stream_copy) {
        slot.stream_copy = true;
        enc->sample_aspect_ratio = st->sample_aspect_ratio = sar;
    } else {
        slot.codec = codec;
        slot.codec_by_name = byName;
        set_video_encoding(file, slot, sar);
    }
    SetLanguage(st, pending_.video_language);
    settings_.StreamMade(AVMEDIA_TYPE_VIDEO);
}

void TOutputStreams::set_header_flags(AVCodecContext* enc, const AVOutputFormat* fmt) const {
    AVCodecContext* templ = contexts_.CodecOpts(AVMEDIA_TYPE_VIDEO);
    if ((switches_.video_global_header & 1) ||
        (switches_.video_global_header == 0 && (fmt->flags & AVFMT_GLOBALHEADER))) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (templ != nullptr) {
            templ->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
    }
    if (switches_.video_global_header & 2) {
        enc->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
        if (templ != nullptr) {
            templ->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
        }
    }
}

void TOutputStreams::set_video_encoding(TOutputFile& file, TOutputStreamSlot& slot,
                                        AVRational sar) {
    const AVOutputFormat* fmt = file.ctx->oformat;
    const AVCodec* codec = slot.codec;
    AVCodecContext* enc = slot.enc.get();
    AVRational frame_rate = pending_.frame_rate.num > 0 && pending_.frame_rate.den > 0
                                ? pending_.frame_rate
                                : AVRational{25, 1};
    enc->codec_id = codec != nullptr ? codec->id
                                     : fn::av_guess_codec(fmt, nullptr, file.ctx->url, nullptr,
                                                          AVMEDIA_TYPE_VIDEO);
    contexts_.ApplyContextOptions(enc, contexts_.CodecOpts(AVMEDIA_TYPE_VIDEO),
                                  AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    if (codec != nullptr && codec->supported_framerates != nullptr && !switches_.force_fps) {
        const int idx = fn::av_find_nearest_q_idx(frame_rate, codec->supported_framerates);
        frame_rate = codec->supported_framerates[idx];
    }
    enc->time_base = AVRational{frame_rate.den, frame_rate.num};
    enc->framerate = frame_rate;
    enc->width = pending_.frame_width;
    enc->height = pending_.frame_height;
    enc->sample_aspect_ratio = slot.st->sample_aspect_ratio = sar;
    enc->pix_fmt = static_cast<AVPixelFormat>(pending_.frame_pix_fmt);
    const AVPixelFormat* formats = codec != nullptr ? codec->pix_fmts : nullptr;
    if (codec != nullptr && codec->id == AV_CODEC_ID_MJPEG && enc->strict_std_compliance >= 0) {
        // Today's MJPEG encoder lists limited-range formats too but refuses them at open
        // unless the strictness allows it: only full-range formats are standard.
        static constexpr AVPixelFormat fullRange[] = {AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ422P,
                                                      AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_NONE};
        formats = fullRange;
    }
    if (THardwareUpload::Needed(codec)) {
        // Pictures are converted in memory and copied to the device when the encoder opens.
        enc->pix_fmt = THardwareUpload::MemoryFormat(enc->pix_fmt);
    } else if (formats != nullptr && !Listed(formats, enc->pix_fmt, AV_PIX_FMT_NONE)) {
        const bool keepForMjpeg =
            codec->id == AV_CODEC_ID_MJPEG && enc->strict_std_compliance < 0 &&
            (enc->pix_fmt == AV_PIX_FMT_YUV420P || enc->pix_fmt == AV_PIX_FMT_YUV422P);
        if (!keepForMjpeg) {
            enc->pix_fmt = formats[0];
        }
    }
    set_video_quality(slot);
}

void TOutputStreams::set_video_quality(TOutputStreamSlot& slot) {
    AVCodecContext* enc = slot.enc.get();
    if (pending_.intra_only) {
        enc->gop_size = 0;
    }
    if (pending_.video_qscale != 0 || pending_.same_quality) {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        slot.quality = FF_QP2LAMBDA * pending_.video_qscale;
        enc->global_quality = static_cast<int>(slot.quality);
    }
    if (pending_.has_intra_matrix) {
        enc->intra_matrix = CopyMatrix(pending_.intra_matrix);
    }
    if (pending_.has_inter_matrix) {
        enc->inter_matrix = CopyMatrix(pending_.inter_matrix);
    }
    ParseRcOverride(enc);
    if (enc->rc_initial_buffer_occupancy == 0) {
        enc->rc_initial_buffer_occupancy = enc->rc_buffer_size * 3 / 4;
    }
    enc->intra_dc_precision = pending_.intra_dc_precision - 8;
    if (switches_.do_psnr) {
        enc->flags |= AV_CODEC_FLAG_PSNR;
    }
    if (switches_.do_pass == 1) {
        enc->flags |= AV_CODEC_FLAG_PASS1;
    } else if (switches_.do_pass == 2) {
        enc->flags |= AV_CODEC_FLAG_PASS2;
    }
}

void TOutputStreams::new_audio_stream(TOutputFile& file) {
    const AVOutputFormat* fmt = file.ctx->oformat;
    const AVCodec* codec = nullptr;
    bool byName = false;
    AVCodecContext* templ = contexts_.CodecOpts(AVMEDIA_TYPE_AUDIO);
    if (!pending_.audio_stream_copy) {
        codec = choose_encoder(file, AVMEDIA_TYPE_AUDIO, pending_.audio_codec_name, byName);
    }
    TOutputStreamSlot& slot = add_stream(file, codec, AVMEDIA_TYPE_AUDIO);
    AVCodecContext* enc = slot.enc.get();
    enc->codec_type = AVMEDIA_TYPE_AUDIO;
    slot.bitstream_filters = settings_.TakeBitstreamFilters(AVMEDIA_TYPE_AUDIO);
    if (pending_.audio_codec_tag != 0) {
        enc->codec_tag = pending_.audio_codec_tag;
    }
    if (fmt->flags & AVFMT_GLOBALHEADER) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (templ != nullptr) {
            templ->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
    }
    fn::av_channel_layout_uninit(&enc->ch_layout);
    if (pending_.audio_stream_copy) {
        slot.stream_copy = true;
        fn::av_channel_layout_default(&enc->ch_layout, pending_.audio_channels);
        enc->sample_rate = pending_.audio_sample_rate;
    } else {
        slot.codec = codec;
        slot.codec_by_name = byName;
        set_audio_encoding(file, slot);
    }
    // The time base follows the rate the encoder really runs at.
    enc->time_base = AVRational{1, enc->sample_rate > 0 ? enc->sample_rate : 1};
    SetLanguage(slot.st, pending_.audio_language);
    settings_.StreamMade(AVMEDIA_TYPE_AUDIO);
}

void TOutputStreams::set_audio_encoding(TOutputFile& file, TOutputStreamSlot& slot) {
    const AVCodec* codec = slot.codec;
    AVCodecContext* enc = slot.enc.get();
    enc->codec_id = codec != nullptr ? codec->id
                                     : fn::av_guess_codec(file.ctx->oformat, nullptr, file.ctx->url,
                                                          nullptr, AVMEDIA_TYPE_AUDIO);
    contexts_.ApplyContextOptions(enc, contexts_.CodecOpts(AVMEDIA_TYPE_AUDIO),
                                  AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    if (pending_.audio_qscale > -99999) {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        slot.quality = FF_QP2LAMBDA * pending_.audio_qscale;
        enc->global_quality = static_cast<int>(slot.quality);
    }
    const int channels = pending_.audio_channels;
    const std::uint64_t mask = static_cast<std::uint64_t>(pending_.channel_layout);
    if (mask != 0 && __builtin_popcountll(mask) == channels) {
        fn::av_channel_layout_from_mask(&enc->ch_layout, mask);
    } else {
        fn::av_channel_layout_default(&enc->ch_layout, channels);
    }
    enc->sample_fmt = static_cast<AVSampleFormat>(pending_.audio_sample_fmt);
    if (codec != nullptr && codec->sample_fmts != nullptr &&
        !Listed(codec->sample_fmts, enc->sample_fmt, AV_SAMPLE_FMT_NONE)) {
        enc->sample_fmt = codec->sample_fmts[0];
    }
    enc->sample_rate = pending_.audio_sample_rate;
    if (codec != nullptr && codec->supported_samplerates != nullptr) {
        int best = 0;
        int bestDist = INT_MAX;
        for (const int* p = codec->supported_samplerates; *p != 0; ++p) {
            const int dist = std::abs(enc->sample_rate - *p);
            if (dist < bestDist) {
                best = *p;
                bestDist = dist;
            }
        }
        if (bestDist != 0) {
            LoggerInstance().LogFmt(services_.sender, llWarning, enginemsg::SampleRateUnsupported,
                                    best);
        }
        enc->sample_rate = best;
    }
}

void TOutputStreams::new_subtitle_stream(TOutputFile& file) {
    const AVCodec* codec = nullptr;
    bool byName = false;
    if (!pending_.subtitle_stream_copy) {
        codec = choose_encoder(file, AVMEDIA_TYPE_SUBTITLE, pending_.subtitle_codec_name, byName);
    }
    TOutputStreamSlot& slot = add_stream(file, codec, AVMEDIA_TYPE_SUBTITLE);
    AVCodecContext* enc = slot.enc.get();
    enc->codec_type = AVMEDIA_TYPE_SUBTITLE;
    slot.bitstream_filters = settings_.TakeBitstreamFilters(AVMEDIA_TYPE_SUBTITLE);
    if (pending_.subtitle_codec_tag != 0) {
        enc->codec_tag = pending_.subtitle_codec_tag;
    }
    if (pending_.subtitle_stream_copy) {
        slot.stream_copy = true;
    } else {
        contexts_.ApplyContextOptions(enc, contexts_.CodecOpts(AVMEDIA_TYPE_SUBTITLE),
                                      AV_OPT_FLAG_SUBTITLE_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
        enc->codec_id = codec != nullptr ? codec->id : AV_CODEC_ID_NONE;
        slot.codec = codec;
        slot.codec_by_name = byName;
    }
    SetLanguage(slot.st, pending_.subtitle_language);
    settings_.StreamMade(AVMEDIA_TYPE_SUBTITLE);
}
