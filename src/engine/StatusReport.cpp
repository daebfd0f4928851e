// Status reports: the stream mapping, the status line, the progress callback and the final
// summary.

#include "StatusReport.h"

#include "FFmpeg.h"
#include "FFmpegException.h"

#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"
#include "TranscodeState.h"

#include <cmath>

namespace {

constexpr size_t kStatusLineSize = 1024;

void Append(std::string& line, const std::string& piece) {
    if (line.size() < kStatusLineSize - 1) {
        line.append(piece, 0, kStatusLineSize - 1 - line.size());
    }
}

double Psnr(double error) {
    return -10.0 * std::log10(error);
}

void DumpOutput(const TOutputFile& file, int index) {
    fn::av_dump_format(file.ctx.get(), index, file.ctx->url ? file.ctx->url : "", 1);
}

} // namespace

TStatusReport::TStatusReport(TCustomFFmpeg& task, const TRunSettings& run)
    : task_(task), run_(run), switches_(run.switches), services_(run.services) {}

void TStatusReport::StartTimer() {
    stats_.timer_start = fn::av_gettime();
}

void TStatusReport::FramesDropped(int count) {
    stats_.nb_frames_drop += count;
    stats_.do_log_status = true;
}

void TStatusReport::FramesRepeated(int count) {
    stats_.nb_frames_dup += count;
    stats_.do_log_status = true;
}

void TStatusReport::print_report(TTranscodeState& ts, bool isLastReport) {
    std::int64_t total_size = 0;
    if (AVIOContext* pb = ts.outputs[0]->ctx->pb) {
        total_size = fn::avio_size(pb);
        if (total_size < 0) {
            total_size = fn::avio_seek(pb, 0, SEEK_CUR);
        }
    }
    std::string line;
    const TVideoStatus video = video_status(ts, isLastReport, line);
    if (!video.ready) {
        return;
    }
    double ti1 = 1e10;
    for (const auto& ost : ts.ost_table) {
        const double t = static_cast<double>(output_time(*ost)) / AV_TIME_BASE;
        if (t > 0 && t < ti1) {
            ti1 = t;
        }
    }
    if (ti1 < 0.01) {
        ti1 = 0.01;
    }
    const double bitrate = static_cast<double>(total_size) * 8 / ti1 / 1000.0;

    if (task_.ProgressHandler || switches_.verbose > 0 || isLastReport) {
        Append(line,
               Format(enginemsg::StatusSize, static_cast<double>(total_size) / 1024, ti1, bitrate));
        if (stats_.nb_frames_dup || stats_.nb_frames_drop) {
            Append(line,
                   Format(enginemsg::StatusDupDrop, stats_.nb_frames_dup, stats_.nb_frames_drop));
        }
        if (task_.ProgressHandler) {
            if (stats_.do_log_status && switches_.verbose >= 0) {
                LoggerInstance().Log(services_.sender, llVerbose, line);
                stats_.do_log_status = false;
            }
            task_.ProgressHandler(task_, isLastReport ? -1 : ts.file_index, video.frame_number,
                                  video.fps, video.quality, static_cast<float>(bitrate), total_size,
                                  static_cast<std::int64_t>(ti1 * AV_TIME_BASE),
                                  task_.TotalDuration());
        } else if (switches_.verbose >= 0) {
            LoggerInstance().Log(services_.sender, llVerbose, line);
        }
    }
    if (isLastReport && switches_.verbose >= 0) {
        log_summary(total_size);
    }
}

TStatusReport::TVideoStatus TStatusReport::video_status(TTranscodeState& ts, bool isLastReport,
                                                        std::string& line) const {
    const double elapsed = static_cast<double>(fn::av_gettime() - stats_.timer_start) / 1000000.0;
    TVideoStatus status;
    bool haveVideo = false;
    for (const auto& ostPtr : ts.ost_table) {
        const AVOutputStream& ost = *ostPtr;
        if (ost.slot->enc->codec_type != AVMEDIA_TYPE_VIDEO || !ost.active) {
            continue;
        }
        const float q = ost.enc != nullptr && ost.has_coded_frame
                            ? static_cast<float>(ost.coded_quality) / FF_QP2LAMBDA
                            : -1.0f;
        if (haveVideo) {
            Append(line, Format(enginemsg::StatusLater, q));
            continue;
        }
        // Nothing to tell until the first picture is out.
        if (ost.frames_written == 0) {
            status.ready = false;
            return status;
        }
        haveVideo = true;
        status.frame_number = ost.frames_written;
        status.fps = elapsed > 1 ? static_cast<int>(status.frame_number / elapsed + 0.5) : 0;
        status.quality = q;
        Append(line, Format(enginemsg::StatusFrame, status.frame_number, status.fps, q));
        if (isLastReport) {
            Append(line, "L");
        }
        if (run_.pending.qp_hist) {
            const int qp = static_cast<int>(std::lrint(q));
            if (qp >= 0 && qp < static_cast<int>(ts.qp_histogram.size())) {
                ts.qp_histogram[qp]++;
            }
            for (int j = 0; j < 32; ++j) {
                Append(line, Format("%X", static_cast<int>(
                                              std::lrint(std::log2(ts.qp_histogram[j] + 1)))));
            }
        }
        append_psnr(ost, isLastReport, status.frame_number, line);
    }
    return status;
}

void TStatusReport::append_psnr(const AVOutputStream& ost, bool isLastReport, int frameNumber,
                                std::string& line) const {
    if (ost.enc == nullptr || !(ost.enc->flags & AV_CODEC_FLAG_PSNR)) {
        return;
    }
    const AVCodecContext* enc = ost.enc;
    double error_sum = 0;
    double scale_sum = 0;
    static constexpr char planes[3] = {'Y', 'U', 'V'};
    Append(line, "PSNR=");
    for (int j = 0; j < 3; ++j) {
        double error = static_cast<double>(isLastReport ? enc->error[j] : ost.coded_error[j]);
        double scale = static_cast<double>(enc->width) * enc->height * 255.0 * 255.0;
        if (isLastReport) {
            scale *= frameNumber;
        }
        if (j > 0) {
            scale /= 4;
        }
        error_sum += error;
        scale_sum += scale;
        Append(line, Format("%c:%2.2f ", planes[j], Psnr(error / scale)));
    }
    Append(line, Format("*:%2.2f ", Psnr(error_sum / scale_sum)));
}

void TStatusReport::log_summary(std::int64_t totalSize) {
    const double sum =
        static_cast<double>(stats_.video_size + stats_.audio_size + stats_.extra_size);
    const double overhead = sum > 0 ? 100.0 * (static_cast<double>(totalSize) - sum) / sum : 0;
    LoggerInstance().LogFmt(services_.sender, llVerbose, enginemsg::StatusSummary,
                            static_cast<double>(stats_.video_size) / 1024,
                            static_cast<double>(stats_.audio_size) / 1024,
                            static_cast<double>(stats_.extra_size) / 1024, overhead);
}

void TStatusReport::setup_fail(const TTranscodeState& ts, const std::string& message) {
    print_stream_mapping(ts);
    LoggerInstance().Log(services_.sender, llError, message);
    throw FFmpegException(message);
}

void TStatusReport::print_stream_mapping(const TTranscodeState& ts) {
    for (size_t i = 0; i < ts.outputs.size(); ++i) {
        DumpOutput(*ts.outputs[i], static_cast<int>(i));
    }
    if (switches_.verbose < 0) {
        return;
    }
    LoggerInstance().Log(services_.sender, llVerbose, enginemsg::StreamMapping);
    for (int slot = 0; slot < ts.nb_slots; ++slot) {
        for (const auto& ost : ts.ost_table) {
            const int source = ost->join_sources[slot];
            if (source < 0) {
                continue;
            }
            const AVInputStream& ist = *ts.ist_table[source];
            const std::string type = CodecTypeName(ost->slot->enc->codec_type);
            LoggerInstance().LogFmt(services_.sender, llVerbose, enginemsg::StreamMappingLine,
                                    ist.file_index, ist.index, ost->file_index, ost->index,
                                    type.c_str());
            if (slot == 0 && ost->sync_ist != ost->source_index) {
                const AVInputStream& sync = *ts.ist_table[ost->sync_ist];
                LoggerInstance().LogFmt(services_.sender, llVerbose, enginemsg::StreamMappingSync,
                                        sync.file_index, sync.index, type.c_str());
            }
        }
    }
}
