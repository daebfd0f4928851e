// The packet loop: input choice, time-stamp fixes, join mode and the end of the conversion.

#include "PacketLoop.h"

#include "FFmpegException.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaFile.h"
#include "MediaUtils.h"
#include "TranscodeState.h"

#include <cmath>
#include <cstdlib>

namespace {

// How far the file has grown, counting what the muxer still holds in memory.
std::int64_t FileGrowth(const TOutputFile& file) {
    const std::int64_t position =
        file.ctx->pb != nullptr ? fn::avio_seek(file.ctx->pb, 0, SEEK_CUR) : 0;
    return std::max(position, file.header_bytes + file.muxed_bytes);
}

} // namespace

TPacketLoop::TPacketLoop(const TRunSettings& run, const TLinks& links,
                         std::function<void()> checkPause)
    : pending_(run.pending), switches_(run.switches), inputs_(links.inputs),
      outputs_(links.outputs), decoder_(links.decoder), writer_(links.writer), audio_(links.audio),
      report_(links.report), stop_requested_(run.stopRequested),
      check_pause_(std::move(checkPause)), services_(run.services) {}

void TPacketLoop::Run(TTranscodeState& ts) {
    ts.last_report_time = report_.Stats().timer_start;
    while (!stop_requested_) {
        // A paused worker waits here, between packets, holding no lock.
        check_pause_();
        if (stop_requested_) {
            break;
        }
        const TStep next = step(ts);
        if (next == TStep::End) {
            break;
        }
        if (next == TStep::Nothing) {
            continue;
        }
        const std::int64_t now = fn::av_gettime();
        if (now - ts.last_report_time > report_interval_) {
            ts.last_report_time = now;
            report_.print_report(ts, false);
        }
    }
    finish(ts);
}

// Reads and handles one packet.
TPacketLoop::TStep TPacketLoop::step(TTranscodeState& ts) {
    const int file_index = choose_input_file(ts);
    if (file_index < 0) {
        bool anyNoPacket = false;
        for (AVInputFile& f : ts.input_files) {
            anyNoPacket = anyNoPacket || f.no_packet;
        }
        if (outputs_.JoinMode() || !anyNoPacket) {
            return TStep::End;
        }
        for (AVInputFile& f : ts.input_files) {
            f.no_packet = false;
        }
        fn::av_usleep(10000);
        return TStep::Nothing;
    }
    if (switches_.limit_filesize != 0 &&
        FileGrowth(*ts.outputs[0]) > static_cast<std::int64_t>(switches_.limit_filesize)) {
        return TStep::End;
    }
    ts.file_index = file_index;
    AVFormatContext* ic = inputs_[file_index].ctx.get();
    AVPacket* pkt = ts.pkt.get();
    const int ret = fn::av_read_frame(ic, pkt);
    if (ret < 0) {
        return read_failed(ts, file_index, ret);
    }
    for (AVInputFile& f : ts.input_files) {
        f.no_packet = false;
    }
    if (switches_.do_pkt_dump && pkt->stream_index < static_cast<int>(ic->nb_streams)) {
        fn::av_pkt_dump_log2(nullptr, AV_LOG_DEBUG, pkt, switches_.do_hex_dump,
                             ic->streams[pkt->stream_index]);
    }
    return handle_packet(ts, file_index, pkt) ? TStep::Handled : TStep::Nothing;
}

TPacketLoop::TStep TPacketLoop::read_failed(TTranscodeState& ts, int fileIndex, int ret) {
    if (ret == AVERROR(EAGAIN)) {
        ts.input_files[fileIndex].no_packet = true;
        return TStep::Nothing;
    }
    ts.input_files[fileIndex].eof_reached = true;
    if (switches_.opt_shortest && !outputs_.JoinMode()) {
        return TStep::End;
    }
    if (outputs_.JoinMode() && !end_of_input_file(ts, fileIndex)) {
        return TStep::End;
    }
    return TStep::Nothing;
}

bool TPacketLoop::handle_packet(TTranscodeState& ts, int fileIndex, AVPacket* pkt) {
    const AVInputFile& file = ts.input_files[fileIndex];
    if (pkt->stream_index < file.nb_streams) {
        const int ist_index = file.ist_index + pkt->stream_index;
        AVInputStream& ist = *ts.ist_table[ist_index];
        if (!ist.discard) {
            fix_packet_timestamps(ist, pkt);
            if (pending_.recording_time != INT64_MAX &&
                fn::av_compare_ts(pkt->pts, ist.st->time_base,
                                  pending_.recording_time + pending_.start_time,
                                  AV_TIME_BASE_Q) >= 0) {
                ist.is_past_recording_time = true;
            } else if (decoder_.output_packet(ts, ist_index, pkt) < 0) {
                const std::string text =
                    Format(enginemsg::ErrorWhileDecoding, ist.file_index, ist.index,
                           CodecTypeName(ist.st->codecpar->codec_type).c_str());
                fn::av_packet_unref(pkt);
                if (switches_.exit_on_error) {
                    throw FFmpegException(text);
                }
                if (switches_.verbose >= 0) {
                    LoggerInstance().Log(services_.sender, llVerbose, text);
                }
                return false;
            }
        }
    }
    fn::av_packet_unref(pkt);
    return true;
}

int TPacketLoop::choose_input_file(TTranscodeState& ts) {
    if (outputs_.JoinMode()) {
        for (const auto& ost : ts.ost_table) {
            const int type = ost->slot->enc->codec_type;
            if (type >= 0 && type < 4 && ost->frame_number >= pending_.max_frames[type]) {
                return -1;
            }
        }
        return ts.file_index;
    }
    std::int64_t ipts_min = INT64_MAX;
    std::int64_t opts_min = INT64_MAX;
    int file_index = -1;
    for (const auto& ost : ts.ost_table) {
        const AVInputStream& ist = *ts.ist_table[ost->source_index];
        const AVInputFile& file = ts.input_files[ist.file_index];
        if (ist.is_past_recording_time || file.no_packet) {
            continue;
        }
        const std::int64_t opts = output_time(*ost);
        if (!file.eof_reached) {
            if (switches_.input_sync ? ist.pts < ipts_min : opts < opts_min) {
                ipts_min = ist.pts;
                opts_min = opts;
                file_index = ist.file_index;
            }
        }
        const int type = ost->slot->enc->codec_type;
        if (type >= 0 && type < 4 && ost->frame_number >= pending_.max_frames[type]) {
            return -1;
        }
    }
    return file_index;
}

void TPacketLoop::fix_packet_timestamps(AVInputStream& ist, AVPacket* pkt) {
    TInputFileSlot& in = inputs_[ist.file_index];
    const AVRational tb = ist.st->time_base;
    const std::int64_t offset = fn::av_rescale_q(in.ts_offset, AV_TIME_BASE_Q, tb);
    if (pkt->dts != AV_NOPTS_VALUE) {
        pkt->dts += offset;
    }
    if (pkt->pts != AV_NOPTS_VALUE) {
        pkt->pts += offset;
    }
    const double scale = ist.index < MAX_STREAMS ? in.ts_scale[ist.index] : 0.0;
    if (scale != 0) {
        if (pkt->dts != AV_NOPTS_VALUE) {
            pkt->dts = std::llrint(static_cast<double>(pkt->dts) * scale);
        }
        if (pkt->pts != AV_NOPTS_VALUE) {
            pkt->pts = std::llrint(static_cast<double>(pkt->pts) * scale);
        }
    }
    fix_discontinuity(ist, pkt);
}

// A jump in the time stamps of a format that allows them shifts the input's offset.
void TPacketLoop::fix_discontinuity(AVInputStream& ist, AVPacket* pkt) {
    TInputFileSlot& in = inputs_[ist.file_index];
    const AVRational tb = ist.st->time_base;
    if (pkt->dts != AV_NOPTS_VALUE && ist.next_pts != NoTimestamp &&
        (in.ctx->iformat->flags & AVFMT_TS_DISCONT)) {
        const std::int64_t pkt_dts = fn::av_rescale_q(pkt->dts, tb, AV_TIME_BASE_Q);
        const std::int64_t delta = pkt_dts - ist.next_pts;
        if ((std::llabs(delta) > 1000000.0 * switches_.dts_delta_threshold ||
             pkt_dts + 1 < ist.pts) &&
            !switches_.copy_ts) {
            in.ts_offset -= delta;
            if (switches_.verbose > 2) {
                LoggerInstance().LogFmt(services_.sender, llVerbose,
                                        enginemsg::TimestampDiscontinuity, delta, in.ts_offset);
            }
            const std::int64_t shift = fn::av_rescale_q(delta, AV_TIME_BASE_Q, tb);
            pkt->dts -= shift;
            if (pkt->pts != AV_NOPTS_VALUE) {
                pkt->pts -= shift;
            }
        }
    }
}

bool TPacketLoop::end_of_input_file(TTranscodeState& ts, int fileIndex) {
    // Join mode: drain this input's decoders into the encoders, which stay open so that the
    // next input continues the same streams.
    const AVInputFile& file = ts.input_files[fileIndex];
    for (int i = file.ist_index; i < file.ist_index + file.nb_streams; ++i) {
        AVInputStream& ist = *ts.ist_table[i];
        if (ist.decoding_needed && !ist.flushed) {
            decoder_.output_packet(ts, i, nullptr);
            if (ist.decoder_open) {
                fn::avcodec_flush_buffers(ist.dec);
            }
            ist.flushed = true;
        }
    }
    if (fileIndex + 1 >= ts.nb_slots) {
        return false;
    }
    std::int64_t end = 0;
    for (auto& ost : ts.ost_table) {
        if (ost->join_sources[fileIndex] >= 0) {
            end = std::max(end, output_time(*ost));
        }
    }
    inputs_[fileIndex + 1].ts_offset += end;
    ts.file_index = fileIndex + 1;
    for (auto& ost : ts.ost_table) {
        const int next = ost->join_sources[ts.file_index];
        if (next >= 0) {
            ost->source_index = ost->sync_ist = next;
        }
    }
    return true;
}

// The end, also after Stop: decoders and encoders are drained, so that the files are
// complete.
void TPacketLoop::finish(TTranscodeState& ts) {
    for (size_t i = 0; i < ts.ist_table.size(); ++i) {
        AVInputStream& ist = *ts.ist_table[i];
        if (ist.decoding_needed && !ist.flushed) {
            decoder_.output_packet(ts, static_cast<int>(i), nullptr);
            ist.flushed = true;
        }
    }
    flush_encoders(ts);
    if (!stop_requested_) {
        check_frames_written(ts);
    }
    write_trailers(ts);
    report_.print_report(ts, true);
    close_outputs(ts);
}

void TPacketLoop::flush_encoders(TTranscodeState& ts) {
    for (auto& ostPtr : ts.ost_table) {
        AVOutputStream& ost = *ostPtr;
        if (!ost.encoding_needed || !ost.encoder_open) {
            continue;
        }
        switch (ost.enc->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            audio_.flush_audio(ts, ost);
            break;
        case AVMEDIA_TYPE_VIDEO:
            writer_.encode_frame(ts, ost, nullptr);
            break;
        default:
            break;
        }
    }
}

void TPacketLoop::check_frames_written(const TTranscodeState& ts) {
    // An output that received nothing (damaged input, nothing decodable) is no conversion.
    for (const TOutputFile* file : ts.outputs) {
        int packets = 0;
        for (const auto& ost : ts.ost_table) {
            if (ost->file == file) {
                packets += ost->frames_written;
            }
        }
        if (packets == 0) {
            throw FFmpegException(Format(enginemsg::NoFramesWritten, file->file_name.c_str()));
        }
    }
}

void TPacketLoop::write_trailers(TTranscodeState& ts) {
    for (TOutputFile* file : ts.outputs) {
        if (!file->header_written) {
            continue;
        }
        const int ret = fn::av_write_trailer(file->ctx.get());
        if (ret < 0) {
            throw FFmpegException(ErrorText(enginemsg::WriteTrailerFailed, ret));
        }
    }
}

void TPacketLoop::close_outputs(TTranscodeState& ts) {
    // Buffered bytes reach the disk here: a full disk shows now at the latest.
    for (TOutputFile* file : ts.outputs) {
        if (file->ctx->pb == nullptr || (file->ctx->oformat->flags & AVFMT_NOFILE)) {
            continue;
        }
        const int ret = TMediaFile::CloseOutput(file->ctx.get());
        if (ret < 0) {
            throw FFmpegException(ErrorText(file->file_name, ret));
        }
    }
}
