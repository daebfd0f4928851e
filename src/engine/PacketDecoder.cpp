// Decoding input packets and handing the results on; stream copy of undecoded packets.

#include "PacketDecoder.h"

#include "FFmpegException.h"
#include "MediaUtils.h"

namespace {

// Duration of a decoded frame in microseconds.
std::int64_t FrameDuration(const AVInputStream& ist, const AVFrame* frame) {
    if (ist.dec->codec_type == AVMEDIA_TYPE_AUDIO) {
        return frame->sample_rate > 0 ? static_cast<std::int64_t>(frame->nb_samples) *
                                            AV_TIME_BASE / frame->sample_rate
                                      : 0;
    }
    const AVRational rate = ist.dec->framerate.num > 0 ? ist.dec->framerate : ist.st->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) {
        return fn::av_rescale_q(2 + frame->repeat_pict, AVRational{rate.den, 2 * rate.num},
                                AV_TIME_BASE_Q);
    }
    if (frame->pkt_duration > 0) {
        return fn::av_rescale_q(frame->pkt_duration, ist.st->time_base, AV_TIME_BASE_Q);
    }
    return 0;
}

} // namespace

TPacketDecoder::TPacketDecoder(const TRunSettings& run, const TLinks& links)
    : pending_(run.pending), switches_(run.switches), video_(links.video), audio_(links.audio),
      writer_(links.writer) {}

int TPacketDecoder::output_packet(TTranscodeState& ts, int istIndex, const AVPacket* pkt) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    if (ist.next_pts == NoTimestamp) {
        ist.next_pts = ist.pts;
    }
    if (pkt != nullptr && pkt->dts != AV_NOPTS_VALUE) {
        ist.next_pts = ist.pts = fn::av_rescale_q(pkt->dts, ist.st->time_base, AV_TIME_BASE_Q);
    }
    const int type = ist.st->codecpar->codec_type;
    const bool decoding = ist.decoding_needed && ist.decoder_open;
    if (decoding && (type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO)) {
        if (decode_frames(ts, istIndex, pkt) < 0) {
            return -1;
        }
    } else if (decoding && type == AVMEDIA_TYPE_SUBTITLE) {
        if (pkt != nullptr && decode_subtitle(ts, istIndex, pkt) < 0) {
            return -1;
        }
    } else if (pkt != nullptr) {
        advance_clock(ist, pkt);
    }
    if (pkt != nullptr) {
        emulate_rate(ist);
        if (pending_.start_time == 0 || ist.pts >= pending_.start_time) {
            copy_packet(ts, istIndex, *pkt);
        }
    }
    return 0;
}

int TPacketDecoder::decode_frames(TTranscodeState& ts, int istIndex, const AVPacket* pkt) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    int ret = fn::avcodec_send_packet(ist.dec, pkt);
    if (ret < 0 && ret != AVERROR_EOF) {
        return -1;
    }
    AVFrame* frame = ist.frame.get();
    for (;;) {
        ret = fn::avcodec_receive_frame(ist.dec, frame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
            break;
        }
        if (ret < 0) {
            return -1;
        }
        ist.pts = ist.next_pts;
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
            ist.pts =
                fn::av_rescale_q(frame->best_effort_timestamp, ist.st->time_base, AV_TIME_BASE_Q);
        }
        ist.next_pts = ist.pts + FrameDuration(ist, frame);
        dispatch_decoded(ts, istIndex, frame);
        fn::av_frame_unref(frame);
    }
    if (pkt == nullptr && ist.st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        video_.flush_video_filters(ts, istIndex);
    }
    return 0;
}

int TPacketDecoder::decode_subtitle(TTranscodeState& ts, int istIndex, const AVPacket* pkt) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    AVSubtitle sub{};
    int got = 0;
    ist.pts = ist.next_pts;
    if (fn::avcodec_decode_subtitle2(ist.dec, &sub, &got, const_cast<AVPacket*>(pkt)) < 0) {
        return -1;
    }
    if (!got) {
        return 0;
    }
    struct Freer {
        AVSubtitle* s;
        ~Freer() { fn::avsubtitle_free(s); }
    } freer{&sub};
    if (pending_.start_time == 0 || ist.pts >= pending_.start_time) {
        for (auto& ost : ts.ost_table) {
            if (ost->source_index == istIndex && ost->encoding_needed &&
                ost->enc->codec_type == AVMEDIA_TYPE_SUBTITLE) {
                writer_.do_subtitle_out(ts, *ost, ist, sub, pkt->pts);
            }
        }
    }
    return 0;
}

void TPacketDecoder::advance_clock(AVInputStream& ist, const AVPacket* pkt) const {
    const int type = ist.st->codecpar->codec_type;
    ist.pts = ist.next_pts;
    const AVCodecParameters* par = ist.st->codecpar;
    if (pkt->duration > 0) {
        ist.next_pts += fn::av_rescale_q(pkt->duration, ist.st->time_base, AV_TIME_BASE_Q);
    } else if (type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0) {
        ist.next_pts +=
            static_cast<std::int64_t>(par->frame_size) * AV_TIME_BASE / par->sample_rate;
    } else if (type == AVMEDIA_TYPE_VIDEO && ist.st->r_frame_rate.num > 0) {
        ist.next_pts += fn::av_rescale_q(1, av_inv_q(ist.st->r_frame_rate), AV_TIME_BASE_Q);
    }
}

void TPacketDecoder::emulate_rate(const AVInputStream& ist) const {
    if (!switches_.rate_emu) {
        return;
    }
    const std::int64_t now = fn::av_gettime() - ist.start;
    if (ist.pts > now + 1000) {
        fn::av_usleep(static_cast<unsigned>((ist.pts - now) / 1000 * 1000));
    }
}

void TPacketDecoder::copy_packet(TTranscodeState& ts, int istIndex, const AVPacket& pkt) {
    const AVInputStream& ist = *ts.ist_table[istIndex];
    for (auto& ost : ts.ost_table) {
        if (ost->source_index == istIndex && ost->slot->stream_copy) {
            writer_.do_streamcopy(*ost, ist, pkt);
        }
    }
}

void TPacketDecoder::dispatch_decoded(TTranscodeState& ts, int istIndex, AVFrame* frame) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    emulate_rate(ist);
    if (ist.dec->codec_type == AVMEDIA_TYPE_VIDEO) {
        video_.process_video_frame(ts, istIndex, frame);
        return;
    }
    audio_.apply_volume(frame);
    if (pending_.start_time != 0 && ist.pts < pending_.start_time) {
        return;
    }
    for (auto& ost : ts.ost_table) {
        if (ost->source_index == istIndex && ost->encoding_needed &&
            ost->enc->codec_type == AVMEDIA_TYPE_AUDIO) {
            audio_.do_audio_out(ts, *ost, ist, frame);
        }
    }
}
