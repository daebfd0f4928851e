// Writing packets: stream copy, encoding, subtitles, the bitstream filters and the muxer.

#include "PacketWriter.h"

#include "StatusReport.h"

#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"

#include <cmath>
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

} // namespace

TPacketWriter::TPacketWriter(const TRunSettings& run, TStatusReport& report)
    : pending_(run.pending), switches_(run.switches), report_(report), services_(run.services) {}

void TPacketWriter::do_streamcopy(AVOutputStream& ost, const AVInputStream& ist,
                                  const AVPacket& pkt) {
    if (ost.frame_number == 0 && !(pkt.flags & AV_PKT_FLAG_KEY) &&
        switches_.copy_initial_nonkeyframes == 0) {
        return;
    }
    const int type = ost.st->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_AUDIO) {
        report_.AddAudioBytes(pkt.size);
    } else if (type == AVMEDIA_TYPE_VIDEO) {
        report_.AddVideoBytes(pkt.size);
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

void TPacketWriter::write_frame(AVOutputStream& ost, AVPacket* pkt) {
    if (ost.bsfs.empty()) {
        mux_packet(ost, pkt);
    } else {
        filter_packet(ost, pkt, 0);
    }
}

void TPacketWriter::filter_packet(AVOutputStream& ost, AVPacket* pkt, size_t stage) {
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
        LoggerInstance().Log(services_.sender, llError, text);
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

void TPacketWriter::mux_packet(AVOutputStream& ost, AVPacket* pkt) {
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

int TPacketWriter::encode_frame(TTranscodeState& ts, AVOutputStream& ost, const AVFrame* frame) {
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
            report_.AddVideoBytes(size);
            read_quality_stats(ost, pkt);
        } else {
            report_.AddAudioBytes(size);
        }
        if (ost.logfile && enc->stats_out != nullptr) {
            std::fputs(enc->stats_out, ost.logfile.get());
        }
        fn::av_packet_rescale_ts(pkt, enc->time_base, ost.st->time_base);
        write_frame(ost, pkt);
        fn::av_packet_unref(pkt);
        if (video && !switches_.vstats_filename.empty()) {
            do_video_stats(ts, ost, size);
        }
    }
    return total;
}

void TPacketWriter::read_quality_stats(AVOutputStream& ost, const AVPacket* pkt) {
    size_t sideSize = 0;
    const std::uint8_t* side =
        fn::av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, &sideSize);
    if (side == nullptr || sideSize < 6) {
        return;
    }
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

void TPacketWriter::do_subtitle_out(TTranscodeState& ts, AVOutputStream& ost,
                                    const AVInputStream& ist, AVSubtitle& sub,
                                    std::int64_t pktPts) {
    if (pktPts == AV_NOPTS_VALUE) {
        if (switches_.exit_on_error) {
            throw FFmpegException(enginemsg::SubtitleNeedsPts);
        }
        LoggerInstance().Log(services_.sender, llError, enginemsg::SubtitleNeedsPts);
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

void TPacketWriter::do_video_stats(TTranscodeState& ts, AVOutputStream& ost, int frameSize) {
    if (frameSize == 0) {
        return;
    }
    if (!ts.vstats_file) {
        ts.vstats_file.reset(std::fopen(switches_.vstats_filename.c_str(), "w"));
        if (!ts.vstats_file) {
            throw FFmpegException(enginemsg::FopenFail + switches_.vstats_filename);
        }
    }
    std::FILE* f = ts.vstats_file.get();
    const AVCodecContext* enc = ost.enc;
    std::fprintf(f, "frame= %5d q= %2.1f ", ost.frames_written,
                 ost.coded_quality / static_cast<float>(FF_QP2LAMBDA));
    if (enc->flags & AV_CODEC_FLAG_PSNR) {
        const double scale = static_cast<double>(enc->width) * enc->height * 255.0 * 255.0;
        std::fprintf(f, "PSNR= %6.2f ", -10.0 * std::log10(ost.coded_error[0] / scale));
    }
    std::fprintf(f, "f_size= %6d ", frameSize);
    double ti1 = static_cast<double>(ost.sync_opts) * av_q2d(enc->time_base);
    if (ti1 < 0.01) {
        ti1 = 0.01;
    }
    const double bitrate = frameSize * 8 / av_q2d(enc->time_base) / 1000.0;
    const double avg = static_cast<double>(report_.Stats().video_size) * 8 / ti1 / 1000.0;
    std::fprintf(f, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
                 static_cast<double>(report_.Stats().video_size) / 1024, ti1, bitrate, avg);
    std::fprintf(f, "type= %c\n",
                 fn::av_get_picture_type_char(static_cast<AVPictureType>(ost.coded_pict_type)));
}
