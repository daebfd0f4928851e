// Status reports: the status line, the progress callback and the final summary.

#include "FFmpeg.h"

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

} // namespace

void TCustomFFmpeg::print_report(TTranscodeState& ts, bool isLastReport) {
    std::int64_t total_size = 0;
    if (AVIOContext* pb = ts.outputs[0]->ctx->pb) {
        total_size = fn::avio_size(pb);
        if (total_size < 0) {
            total_size = fn::avio_seek(pb, 0, SEEK_CUR);
        }
    }
    const double elapsed = static_cast<double>(fn::av_gettime() - timer_start_) / 1000000.0;
    std::string line;
    bool haveVideo = false;
    int frame_number = -1;
    int fps = -1;
    float quality = -1;
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
            return;
        }
        haveVideo = true;
        frame_number = ost.frames_written;
        fps = elapsed > 1 ? static_cast<int>(frame_number / elapsed + 0.5) : 0;
        quality = q;
        Append(line, Format(enginemsg::StatusFrame, frame_number, fps, q));
        if (isLastReport) {
            Append(line, "L");
        }
        if (pending_.qp_hist) {
            const int qp = static_cast<int>(std::lrint(q));
            if (qp >= 0 && qp < static_cast<int>(ts.qp_histogram.size())) {
                ts.qp_histogram[qp]++;
            }
            for (int j = 0; j < 32; ++j) {
                Append(line, Format("%X", static_cast<int>(
                                              std::lrint(std::log2(ts.qp_histogram[j] + 1)))));
            }
        }
        if (ost.enc != nullptr && (ost.enc->flags & AV_CODEC_FLAG_PSNR)) {
            const AVCodecContext* enc = ost.enc;
            double error_sum = 0;
            double scale_sum = 0;
            static constexpr char planes[3] = {'Y', 'U', 'V'};
            Append(line, "PSNR=");
            for (int j = 0; j < 3; ++j) {
                double error =
                    static_cast<double>(isLastReport ? enc->error[j] : ost.coded_error[j]);
                double scale = static_cast<double>(enc->width) * enc->height * 255.0 * 255.0;
                if (isLastReport) {
                    scale *= frame_number;
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

    if (ProgressHandler || switches_.verbose > 0 || isLastReport) {
        Append(line,
               Format(enginemsg::StatusSize, static_cast<double>(total_size) / 1024, ti1, bitrate));
        if (nb_frames_dup_ || nb_frames_drop_) {
            Append(line, Format(enginemsg::StatusDupDrop, nb_frames_dup_, nb_frames_drop_));
        }
        if (ProgressHandler) {
            if (do_log_status_ && switches_.verbose >= 0) {
                LoggerInstance().Log(this, llVerbose, line);
                do_log_status_ = false;
            }
            ProgressHandler(*this, isLastReport ? -1 : ts.file_index, frame_number, fps, quality,
                            static_cast<float>(bitrate), total_size,
                            static_cast<std::int64_t>(ti1 * AV_TIME_BASE), total_duration_);
        } else if (switches_.verbose >= 0) {
            LoggerInstance().Log(this, llVerbose, line);
        }
    }
    if (isLastReport && switches_.verbose >= 0) {
        const double sum = static_cast<double>(video_size_ + audio_size_ + extra_size_);
        const double overhead = sum > 0 ? 100.0 * (static_cast<double>(total_size) - sum) / sum : 0;
        LoggerInstance().LogFmt(this, llVerbose, enginemsg::StatusSummary,
                                static_cast<double>(video_size_) / 1024,
                                static_cast<double>(audio_size_) / 1024,
                                static_cast<double>(extra_size_) / 1024, overhead);
    }
}
