// Processing one input packet: decoding, stream copy, subtitles, and writing packets through
// the bitstream filters into the muxer.

#include "FFmpeg.h"

#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"
#include "TranscodeState.h"

#include <cstring>

namespace {

constexpr int kSubtitleBufferSize = 1024 * 1024;

// Little-endian fields of the encoder's quality side data.
std::uint64_t ReadLE(const std::uint8_t* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | p[i];
    }
    return v;
}

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

int TCustomFFmpeg::output_packet(TTranscodeState& ts, int istIndex, const AVPacket* pkt) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    if (ist.next_pts == NoTimestamp) {
        ist.next_pts = ist.pts;
    }
    if (pkt != nullptr && pkt->dts != AV_NOPTS_VALUE) {
        ist.next_pts = ist.pts = fn::av_rescale_q(pkt->dts, ist.st->time_base, AV_TIME_BASE_Q);
    }
    const int type = ist.st->codecpar->codec_type;

    if (ist.decoding_needed && ist.decoder_open &&
        (type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO)) {
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
                ist.pts = fn::av_rescale_q(frame->best_effort_timestamp, ist.st->time_base,
                                           AV_TIME_BASE_Q);
            }
            ist.next_pts = ist.pts + FrameDuration(ist, frame);
            dispatch_decoded(ts, istIndex, frame, pkt);
            fn::av_frame_unref(frame);
        }
        if (pkt == nullptr && type == AVMEDIA_TYPE_VIDEO) {
            flush_video_filters(ts, istIndex);
        }
    } else if (ist.decoding_needed && ist.decoder_open && type == AVMEDIA_TYPE_SUBTITLE) {
        if (pkt != nullptr) {
            AVSubtitle sub{};
            int got = 0;
            ist.pts = ist.next_pts;
            if (fn::avcodec_decode_subtitle2(ist.dec, &sub, &got, const_cast<AVPacket*>(pkt)) < 0) {
                return -1;
            }
            if (got) {
                struct Freer {
                    AVSubtitle* s;
                    ~Freer() { fn::avsubtitle_free(s); }
                } freer{&sub};
                if (pending_.start_time == 0 || ist.pts >= pending_.start_time) {
                    for (auto& ost : ts.ost_table) {
                        if (ost->source_index == istIndex && ost->encoding_needed &&
                            ost->enc->codec_type == AVMEDIA_TYPE_SUBTITLE) {
                            do_subtitle_out(ts, *ost, ist, sub, pkt->pts);
                        }
                    }
                }
            }
        }
    } else if (pkt != nullptr) {
        // Not decoded: the time stamp advances by what the packet holds.
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

    if (pkt != nullptr) {
        if (switches_.rate_emu) {
            const std::int64_t now = fn::av_gettime() - ist.start;
            if (ist.pts > now + 1000) {
                fn::av_usleep(static_cast<unsigned>((ist.pts - now) / 1000 * 1000));
            }
        }
        if (pending_.start_time == 0 || ist.pts >= pending_.start_time) {
            for (auto& ost : ts.ost_table) {
                if (ost->source_index == istIndex && ost->slot->stream_copy) {
                    do_streamcopy(*ost, ist, *pkt);
                }
            }
        }
    }
    return 0;
}

void TCustomFFmpeg::dispatch_decoded(TTranscodeState& ts, int istIndex, AVFrame* frame,
                                     const AVPacket*) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    if (switches_.rate_emu) {
        const std::int64_t now = fn::av_gettime() - ist.start;
        if (ist.pts > now + 1000) {
            fn::av_usleep(static_cast<unsigned>((ist.pts - now) / 1000 * 1000));
        }
    }
    if (ist.dec->codec_type == AVMEDIA_TYPE_VIDEO) {
        process_video_frame(ts, istIndex, frame);
        return;
    }
    apply_volume(frame);
    if (pending_.start_time != 0 && ist.pts < pending_.start_time) {
        return;
    }
    for (auto& ost : ts.ost_table) {
        if (ost->source_index == istIndex && ost->encoding_needed &&
            ost->enc->codec_type == AVMEDIA_TYPE_AUDIO) {
            do_audio_out(*ost, ist, frame);
        }
    }
}

void TCustomFFmpeg::do_streamcopy(AVOutputStream& ost, const AVInputStream& ist,
                                  const AVPacket& pkt) {
    if (ost.frame_number == 0 && !(pkt.flags & AV_PKT_FLAG_KEY) &&
        switches_.copy_initial_nonkeyframes == 0) {
        return;
    }
    const int type = ost.st->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_AUDIO) {
        audio_size_ += pkt.size;
    } else if (type == AVMEDIA_TYPE_VIDEO) {
        video_size_ += pkt.size;
        ost.sync_opts++;
    }
    AVPacket* opkt = ost.pkt.get();
    if (fn::av_packet_ref(opkt, &pkt) < 0) {
        throw FFmpegException(enginemsg::AvMalloczFail);
    }
    const AVRational itb = ist.st->time_base;
    const AVRational otb = ost.st->time_base;
    const std::int64_t start = fn::av_rescale_q(pending_.start_time, AV_TIME_BASE_Q, otb);
    opkt->pts =
        pkt.pts != AV_NOPTS_VALUE ? fn::av_rescale_q(pkt.pts, itb, otb) - start : AV_NOPTS_VALUE;
    opkt->dts = (pkt.dts == AV_NOPTS_VALUE ? fn::av_rescale_q(ist.pts, AV_TIME_BASE_Q, otb)
                                           : fn::av_rescale_q(pkt.dts, itb, otb)) -
                start;
    opkt->duration = fn::av_rescale_q(pkt.duration, itb, otb);
    opkt->stream_index = ost.st->index;
    write_frame(ost, opkt);
    fn::av_packet_unref(opkt);
    ost.frame_number++;
}

void TCustomFFmpeg::write_frame(AVOutputStream& ost, AVPacket* pkt) {
    if (ost.bsfs.empty()) {
        mux_packet(ost, pkt);
    } else {
        filter_packet(ost, pkt, 0);
    }
}

void TCustomFFmpeg::filter_packet(AVOutputStream& ost, AVPacket* pkt, size_t stage) {
    if (stage == ost.bsfs.size()) {
        mux_packet(ost, pkt);
        return;
    }
    AVBSFContext* bsf = ost.bsfs[stage].get();
    auto report = [&](int code) {
        const std::string text =
            Format(enginemsg::BitstreamFilterFailed, bsf->filter->name, ost.st->index,
                   ost.enc != nullptr && ost.enc->codec != nullptr ? ost.enc->codec->name
                                                                   : "copy") +
            ": " + ::ErrorMessage(code);
        if (switches_.exit_on_error) {
            throw FFmpegException(text);
        }
        LoggerInstance().Log(this, llError, text);
    };
    int ret = fn::av_bsf_send_packet(bsf, pkt);
    if (ret < 0) {
        // The packet goes on as it was.
        report(ret);
        filter_packet(ost, pkt, stage + 1);
        return;
    }
    AVPacket* out = ost.bsf_pkts[stage].get();
    for (;;) {
        ret = fn::av_bsf_receive_packet(bsf, out);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
            break;
        }
        if (ret < 0) {
            report(ret);
            break;
        }
        filter_packet(ost, out, stage + 1);
        fn::av_packet_unref(out);
    }
}

void TCustomFFmpeg::mux_packet(AVOutputStream& ost, AVPacket* pkt) {
    AVFormatContext* oc = ost.file->ctx.get();
    pkt->stream_index = ost.st->index;
    if (!(oc->oformat->flags & AVFMT_NOTIMESTAMPS) && pkt->dts != AV_NOPTS_VALUE) {
        // Muxers refuse time stamps that go back; a glitch in the input must not end the
        // conversion.
        if (ost.last_mux_dts != NoTimestamp) {
            const std::int64_t min =
                ost.last_mux_dts + ((oc->oformat->flags & AVFMT_TS_NONSTRICT) ? 0 : 1);
            if (pkt->dts < min) {
                if (pkt->pts != AV_NOPTS_VALUE && pkt->pts >= pkt->dts) {
                    pkt->pts = std::max(pkt->pts, min);
                }
                pkt->dts = min;
            }
        }
        ost.last_mux_dts = pkt->dts;
    }
    const std::int64_t when = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (when != AV_NOPTS_VALUE) {
        const std::int64_t end = fn::av_rescale_q(when + std::max<std::int64_t>(pkt->duration, 0),
                                                  ost.st->time_base, AV_TIME_BASE_Q);
        ost.last_time = std::max(ost.last_time, end);
    }
    ost.frames_written++;
    ost.file->muxed_bytes += pkt->size;
    const int ret = fn::av_interleaved_write_frame(oc, pkt);
    if (ret < 0) {
        throw FFmpegException(ErrorText(enginemsg::WriteFrameFailed, ret));
    }
}

int TCustomFFmpeg::encode_frame(AVOutputStream& ost, const AVFrame* frame) {
    AVCodecContext* enc = ost.enc;
    const bool video = enc->codec_type == AVMEDIA_TYPE_VIDEO;
    const char* failed = video ? enginemsg::VideoEncodingFailed : enginemsg::AudioEncodingFailed;
    int ret = fn::avcodec_send_frame(enc, frame);
    if (ret < 0 && !(frame == nullptr && ret == AVERROR_EOF)) {
        throw FFmpegException(failed);
    }
    AVPacket* pkt = ost.pkt.get();
    int total = 0;
    for (;;) {
        ret = fn::avcodec_receive_packet(enc, pkt);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
            break;
        }
        if (ret < 0) {
            throw FFmpegException(failed);
        }
        const int size = pkt->size;
        total += size;
        if (video) {
            video_size_ += size;
            size_t sideSize = 0;
            const std::uint8_t* side =
                fn::av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, &sideSize);
            if (side != nullptr && sideSize >= 6) {
                // Some encoders mark the frames they flush with no quantizer: keep the last.
                const int quality = static_cast<int>(ReadLE(side, 4));
                if (quality >= 0) {
                    ost.coded_quality = quality;
                }
                ost.coded_pict_type = side[4];
                const int errors = std::min<int>(side[5], 4);
                for (int i = 0; i < errors && 8 + 8 * (i + 1) <= static_cast<int>(sideSize); ++i) {
                    ost.coded_error[i] = static_cast<std::int64_t>(ReadLE(side + 8 + 8 * i, 8));
                }
                ost.has_coded_frame = true;
            }
        } else {
            audio_size_ += size;
        }
        if (ost.logfile && enc->stats_out != nullptr) {
            std::fputs(enc->stats_out, ost.logfile.get());
        }
        fn::av_packet_rescale_ts(pkt, enc->time_base, ost.st->time_base);
        write_frame(ost, pkt);
        fn::av_packet_unref(pkt);
        if (video && !switches_.vstats_filename.empty()) {
            do_video_stats(*transcode_state_, ost, size);
        }
    }
    return total;
}

void TCustomFFmpeg::do_subtitle_out(TTranscodeState& ts, AVOutputStream& ost,
                                    const AVInputStream& ist, AVSubtitle& sub,
                                    std::int64_t pktPts) {
    if (pktPts == AV_NOPTS_VALUE) {
        if (switches_.exit_on_error) {
            throw FFmpegException(enginemsg::SubtitleNeedsPts);
        }
        LoggerInstance().Log(this, llError, enginemsg::SubtitleNeedsPts);
        return;
    }
    // One buffer per task: two conversions never share it.
    if (ts.subtitle_out.empty()) {
        ts.subtitle_out.resize(kSubtitleBufferSize);
    }
    AVCodecContext* enc = ost.enc;
    const bool dvb = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
    const int nb = dvb ? 2 : 1;
    const unsigned rects = sub.num_rects;
    for (int i = 0; i < nb; ++i) {
        sub.pts = fn::av_rescale_q(pktPts, ist.st->time_base, AV_TIME_BASE_Q) +
                  static_cast<std::int64_t>(sub.start_display_time) * 1000;
        sub.end_display_time -= sub.start_display_time;
        sub.start_display_time = 0;
        const int size =
            fn::avcodec_encode_subtitle(enc, ts.subtitle_out.data(), kSubtitleBufferSize, &sub);
        if (size < 0) {
            throw FFmpegException(enginemsg::SubtitleEncodingFailed);
        }
        AVPacket* pkt = ost.pkt.get();
        if (fn::av_new_packet(pkt, size) < 0) {
            throw FFmpegException(enginemsg::AvMalloczFail);
        }
        std::memcpy(pkt->data, ts.subtitle_out.data(), size);
        pkt->pts = fn::av_rescale_q(sub.pts, AV_TIME_BASE_Q, ost.st->time_base);
        pkt->duration =
            fn::av_rescale_q(sub.end_display_time, AVRational{1, 1000}, ost.st->time_base);
        if (dvb) {
            pkt->pts += 90 * (i == 0 ? sub.start_display_time : sub.end_display_time);
        }
        pkt->dts = pkt->pts;
        pkt->stream_index = ost.st->index;
        write_frame(ost, pkt);
        fn::av_packet_unref(pkt);
        ost.frame_number++;
        if (dvb) {
            sub.num_rects = 0; // the second packet clears the screen
        }
    }
    sub.num_rects = rects; // so that all of them are freed
}

void TCustomFFmpeg::flush_encoders(TTranscodeState& ts) {
    for (auto& ostPtr : ts.ost_table) {
        AVOutputStream& ost = *ostPtr;
        if (!ost.encoding_needed || !ost.encoder_open) {
            continue;
        }
        switch (ost.enc->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            flush_audio(ost);
            break;
        case AVMEDIA_TYPE_VIDEO:
            encode_frame(ost, nullptr);
            break;
        default:
            break;
        }
    }
}
