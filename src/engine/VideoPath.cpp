// The video output path: deinterlacing, filter graphs, crop and scale, frame-rate
// synchronisation and encoding.

#include "VideoPath.h"

#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"
#include "TranscodeState.h"

#include <cmath>

namespace {

TVideoFilter::TInput InputOf(const AVFrame* frame) {
    TVideoFilter::TInput input;
    input.width = frame->width;
    input.height = frame->height;
    input.pixFmt = frame->format;
    input.sampleAspect = frame->sample_aspect_ratio;
    return input;
}

} // namespace

TVideoPath::TVideoPath(const TPendingSettings& pending, const TTaskSwitches& switches,
                       const TOptionContexts& contexts, const TOutputFiles& outputs,
                       TPictureHooks& hooks, TPreviewHandoff& preview, TPacketWriter& writer,
                       TConversionStats& stats, const std::atomic<bool>& stopRequested,
                       const TEngineServices& services)
    : pending_(pending), switches_(switches), contexts_(contexts), outputs_(outputs), hooks_(hooks),
      preview_(preview), writer_(writer), stats_(stats), stop_requested_(stopRequested),
      services_(services) {}

int TVideoPath::ScalerFlags(const TOptionContexts& contexts, int fallback) {
    std::int64_t flags = fallback;
    if (contexts.ScalerOpts() != nullptr) {
        fn::av_opt_get_int(contexts.ScalerOpts(), "sws_flags", 0, &flags);
    }
    return static_cast<int>(flags);
}

int TVideoPath::configure_video_filters(AVOutputStream& ost, const TVideoFilter::TInput& input) {
    const AVCodecContext* enc = ost.enc;
    TVideoFilter::TChain chain;
    const int cropW = input.width - ost.leftBand - ost.rightBand;
    const int cropH = input.height - ost.topBand - ost.bottomBand;
    chain.crop = ost.video_crop;
    chain.cropX = ost.leftBand;
    chain.cropY = ost.topBand;
    chain.cropWidth = cropW;
    chain.cropHeight = cropH;
    chain.scale = enc->width != cropW || enc->height != cropH;
    chain.scaleWidth = enc->width;
    chain.scaleHeight = enc->height;
    chain.swsFlags = ScalerFlags(contexts_, switches_.sws_flags);
    chain.text = pending_.vfilters;
    chain.outPixFmt = enc->pix_fmt;
    auto filter = std::make_unique<TVideoFilter>();
    std::string errorText;
    const int ret = filter->Configure(input, chain, errorText);
    if (ret < 0) {
        services_.setLastErrorText(errorText);
        return ret;
    }
    ost.filter = std::move(filter);
    return 0;
}

void TVideoPath::process_video_frame(TTranscodeState& ts, int istIndex, AVFrame* frame) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    ist.quality = static_cast<float>(frame->quality);
    if (!pending_.do_deinterlace && ist.upright_filters.empty()) {
        handle_picture(ts, istIndex, frame);
        return;
    }
    const TVideoFilter::TInput input = InputOf(frame);
    if (!ist.deinterlacer || !ist.deinterlacer->Matches(input)) {
        ist.deinterlacer = std::make_unique<TVideoFilter>();
        TVideoFilter::TChain chain;
        // Fields are rows of the stored picture: they are woven before the picture is turned.
        chain.text = pending_.do_deinterlace ? "yadif" : "";
        if (!ist.upright_filters.empty()) {
            chain.text += (chain.text.empty() ? "" : ",") + ist.upright_filters;
        }
        chain.swsFlags = switches_.sws_flags;
        std::string errorText;
        if (ist.deinterlacer->Configure(input, chain, errorText) < 0) {
            LoggerInstance().Log(services_.sender, llError, enginemsg::DeinterlacingFailed);
            ist.deinterlacer.reset();
        }
    }
    if (!ist.deinterlacer) {
        handle_picture(ts, istIndex, frame);
        return;
    }
    frame->pts = ist.pts;
    if (ist.deinterlacer->Push(frame) < 0) {
        LoggerInstance().Log(services_.sender, llError, enginemsg::DeinterlacingFailed);
        handle_picture(ts, istIndex, frame);
        return;
    }
    drain_deinterlacer(ts, istIndex);
}

void TVideoPath::drain_deinterlacer(TTranscodeState& ts, int istIndex) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    media::FramePtr out = media::MakeFrame();
    while (out && ist.deinterlacer->Pull(out.get()) == 0) {
        if (out->pts != AV_NOPTS_VALUE) {
            ist.pts = out->pts;
        }
        handle_picture(ts, istIndex, out.get());
        fn::av_frame_unref(out.get());
    }
}

void TVideoPath::handle_picture(TTranscodeState& ts, int istIndex, AVFrame* frame) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    AVFrame* picture = hooks_.apply_picture_hooks(ist, frame);
    send_picture_to_outputs(ts, istIndex, picture);
}

void TVideoPath::flush_video_filters(TTranscodeState& ts, int istIndex) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    if (ist.deinterlacer) {
        ist.deinterlacer->Push(nullptr);
        drain_deinterlacer(ts, istIndex);
        ist.deinterlacer.reset();
    }
    for (auto& ost : ts.ost_table) {
        if (ost->source_index != istIndex || !ost->filter) {
            continue;
        }
        ost->filter->Push(nullptr);
        pull_filtered(ts, *ost, ist);
        // A later input (join mode) gets a fresh graph.
        ost->filter.reset();
    }
}

void TVideoPath::pull_filtered(TTranscodeState& ts, AVOutputStream& ost, AVInputStream& ist) {
    AVFrame* filtered = ts.frame.get();
    while (ost.filter->Pull(filtered) == 0) {
        if (filtered->pts != AV_NOPTS_VALUE) {
            ist.pts = filtered->pts;
        }
        do_video_out(ts, ost, ist, filtered);
        fn::av_frame_unref(filtered);
    }
}

void TVideoPath::send_picture_to_outputs(TTranscodeState& ts, int istIndex, AVFrame* picture) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    if (pending_.start_time != 0 && ist.pts < pending_.start_time) {
        return;
    }
    const std::int64_t pts = ist.pts;
    for (auto& ostPtr : ts.ost_table) {
        AVOutputStream& ost = *ostPtr;
        if (ost.source_index != istIndex || !ost.encoding_needed ||
            ost.enc->codec_type != AVMEDIA_TYPE_VIDEO) {
            continue;
        }
        ist.pts = pts;
        if (!outputs_.UseFilterGraph()) {
            do_video_out(ts, ost, ist, picture);
        } else {
            filter_picture(ts, ost, ist, picture, pts);
        }
    }
    ist.pts = pts;
}

void TVideoPath::filter_picture(TTranscodeState& ts, AVOutputStream& ost, AVInputStream& ist,
                                AVFrame* picture, std::int64_t pts) {
    const TVideoFilter::TInput input = InputOf(picture);
    if (!ost.filter || !ost.filter->Matches(input)) {
        services_.setLastErrorText("");
        if (configure_video_filters(ost, input) < 0) {
            const std::string text = services_.lastErrorText();
            throw FFmpegException(text.empty() ? std::string(enginemsg::ErrorOpeningFilters)
                                               : enginemsg::ErrorOpeningFiltersText + text);
        }
    }
    picture->pts = pts;
    const int ret = ost.filter->Push(picture);
    if (ret < 0) {
        throw FFmpegException(ErrorText(enginemsg::ErrorOpeningFiltersText, ret));
    }
    pull_filtered(ts, ost, ist);
}

AVFrame* TVideoPath::fit_picture_to_encoder(AVOutputStream& ost, AVInputStream& ist,
                                            AVFrame* picture) {
    const AVCodecContext* enc = ost.enc;
    AVFrame* source = picture;
    if (fn::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture->format)) == nullptr ||
        picture->width <= 0 || picture->height <= 0) {
        LoggerInstance().Log(services_.sender, llError, enginemsg::PictureUndescribed);
        return nullptr;
    }
    if (!ost.filter) {
        follow_picture_size(ost, ist, picture);
        if (ost.video_crop) {
            source = crop_picture(ost, picture);
            if (source == nullptr) {
                return nullptr;
            }
        }
    }
    if (source->width == enc->width && source->height == enc->height &&
        source->format == enc->pix_fmt) {
        return source;
    }
    return scale_picture(ost, source, picture);
}

void TVideoPath::follow_picture_size(AVOutputStream& ost, const AVInputStream& ist,
                                     const AVFrame* picture) {
    const int w = picture->width;
    const int h = picture->height;
    const int fmt = picture->format;
    if (ost.resample_pix_fmt < 0) {
        // The stream's parameters did not tell the format: the first picture does.
        ost.resample_pix_fmt = fmt;
        if (ost.original_width <= 0 || ost.original_height <= 0) {
            ost.original_width = w;
            ost.original_height = h;
            ost.resample_width = w - ost.leftBand - ost.rightBand;
            ost.resample_height = h - ost.topBand - ost.bottomBand;
        }
    }
    if (w - ost.leftBand - ost.rightBand == ost.resample_width &&
        h - ost.topBand - ost.bottomBand == ost.resample_height && fmt == ost.resample_pix_fmt) {
        return;
    }
    const char* name = fn::av_get_pix_fmt_name(static_cast<AVPixelFormat>(fmt));
    LoggerInstance().LogFmt(services_.sender, llQuiet, enginemsg::FrameSizeChanged, ist.file_index,
                            ist.index, w, h, name ? name : "none");
    // The bands keep their share of the picture, made even.
    if (ost.original_height > 0 && ost.original_width > 0) {
        ost.topBand = (h * ost.original_topBand / ost.original_height) & ~1;
        ost.bottomBand = (h * ost.original_bottomBand / ost.original_height) & ~1;
        ost.leftBand = (w * ost.original_leftBand / ost.original_width) & ~1;
        ost.rightBand = (w * ost.original_rightBand / ost.original_width) & ~1;
    }
    ost.resample_width = w - ost.leftBand - ost.rightBand;
    ost.resample_height = h - ost.topBand - ost.bottomBand;
    ost.resample_pix_fmt = fmt;
}

AVFrame* TVideoPath::crop_picture(AVOutputStream& ost, AVFrame* picture) {
    AVFrame* crop = ost.crop_frame ? ost.crop_frame.get() : nullptr;
    if (crop == nullptr) {
        ost.crop_frame = media::MakeFrame();
        crop = ost.crop_frame.get();
    }
    int ret = crop != nullptr ? fn::av_frame_ref(crop, picture) : AVERROR(ENOMEM);
    if (ret >= 0) {
        crop->crop_top = ost.topBand;
        crop->crop_bottom = ost.bottomBand;
        crop->crop_left = ost.leftBand;
        crop->crop_right = ost.rightBand;
        ret = fn::av_frame_apply_cropping(crop, AV_FRAME_CROP_UNALIGNED);
    }
    if (ret >= 0) {
        return crop;
    }
    if (crop != nullptr) {
        fn::av_frame_unref(crop);
    }
    if (switches_.exit_on_error) {
        throw FFmpegException(enginemsg::ErrorCroppingPicture);
    }
    LoggerInstance().Log(services_.sender, llError, enginemsg::ErrorCroppingPicture);
    return nullptr;
}

AVFrame* TVideoPath::scale_picture(AVOutputStream& ost, const AVFrame* source,
                                   const AVFrame* picture) {
    const AVCodecContext* enc = ost.enc;
    SwsContext* sws = fn::sws_getCachedContext(
        ost.img_resample_ctx.release(), source->width, source->height,
        static_cast<AVPixelFormat>(source->format), enc->width, enc->height, enc->pix_fmt,
        ScalerFlags(contexts_, switches_.sws_flags), nullptr, nullptr, nullptr);
    ost.img_resample_ctx.reset(sws);
    if (sws == nullptr) {
        throw FFmpegException(enginemsg::ResamplingContextFail);
    }
    AVFrame* out = ost.resample_frame.get();
    // The encoder may still hold the last picture: take a fresh buffer rather than overwrite it.
    if (out->buf[0] == nullptr || !fn::av_frame_is_writable(out)) {
        fn::av_frame_unref(out);
        out->format = enc->pix_fmt;
        out->width = enc->width;
        out->height = enc->height;
        if (fn::av_frame_get_buffer(out, 0) < 0) {
            throw FFmpegException(enginemsg::TempPictureFail);
        }
    }
    fn::sws_scale(sws, source->data, source->linesize, 0, source->height, out->data, out->linesize);
    fn::av_frame_copy_props(out, picture);
    return out;
}

int TVideoPath::video_sync(AVOutputStream& ost, double syncIpts, double duration, int& repeats) {
    repeats = 0;
    if (switches_.video_sync_method == 0) {
        ost.sync_opts = std::lrint(syncIpts);
        return 1;
    }
    // How far the picture is from the next output position, at its start and at its end.
    double delta0 = syncIpts - static_cast<double>(ost.sync_opts);
    const double delta = delta0 + duration;
    if (delta0 < 0 && delta > 0) {
        // A picture begun before the position but lasting past it is shown there.
        syncIpts = static_cast<double>(ost.sync_opts);
        delta0 = 0;
    }
    int nb_frames = 1;
    if (switches_.video_sync_method == 2 ||
        (switches_.video_sync_method < 0 && (ost.file->ctx->oformat->flags & AVFMT_VARIABLE_FPS))) {
        if (delta <= -0.6) {
            nb_frames = 0;
        } else if (delta > 0.6) {
            ost.sync_opts = std::llrint(syncIpts);
        }
    } else if (delta < -1.1) {
        nb_frames = 0;
    } else if (delta > 1.1) {
        // The picture spans several positions; after a gap the one before it fills the gap's
        // positions up to this one's time.
        nb_frames = static_cast<int>(std::lrint(delta));
        if (delta0 > 1.1) {
            repeats = std::min(nb_frames, static_cast<int>(std::llrint(delta0 - 0.6)));
        }
    }
    if (nb_frames == 0) {
        ++stats_.nb_frames_drop;
        stats_.do_log_status = true;
        if (switches_.verbose > 2) {
            LoggerInstance().Log(services_.sender, llVerbose, enginemsg::Drop);
        }
    } else if (nb_frames > 1) {
        stats_.nb_frames_dup += nb_frames - 1;
        stats_.do_log_status = true;
        if (switches_.verbose > 2) {
            LoggerInstance().LogFmt(services_.sender, llVerbose, enginemsg::Dup, nb_frames - 1);
        }
    }
    return nb_frames;
}

double TVideoPath::picture_duration(const AVOutputStream& ost, const AVInputStream& ist,
                                    const AVFrame* picture) const {
    // In output positions: the stream's rate, at most one position, unless the packet tells
    // the picture's own length and no filters of the task's may have changed it.
    const double encoderBase = av_q2d(ost.enc->time_base);
    double duration = 0;
    AVRational rate = ist.st->r_frame_rate;
    const AVRational average = ist.st->avg_frame_rate;
    if (average.num > 0 && average.den > 0 && rate.num > 0 && rate.den > 0 &&
        av_q2d(average) < 70 && av_q2d(rate) > 210) {
        rate = average; // a timer's rate, not the pictures'
    }
    if (rate.num > 0 && rate.den > 0 && encoderBase > 0) {
        duration = std::min(1.0, 1 / (av_q2d(rate) * encoderBase));
    }
    if (!outputs_.UseFilterGraph() && encoderBase > 0) {
        const long own = std::lrint(static_cast<double>(picture->pkt_duration) *
                                    av_q2d(ist.st->time_base) / encoderBase);
        if (own > 0) {
            duration = static_cast<double>(own);
        }
    }
    return duration;
}

void TVideoPath::do_video_out(TTranscodeState& ts, AVOutputStream& ost, AVInputStream& ist,
                              AVFrame* picture) {
    AVCodecContext* enc = ost.enc;
    const std::int64_t syncPts =
        ost.sync_ist == ost.source_index ? ist.pts : ts.ist_table[ost.sync_ist]->pts;
    const double sync_ipts =
        static_cast<double>(syncPts - pending_.start_time) / AV_TIME_BASE / av_q2d(enc->time_base);
    int repeats = 0;
    int nb_frames = video_sync(ost, sync_ipts, picture_duration(ost, ist, picture), repeats);
    nb_frames = std::min(nb_frames, pending_.max_frames[AVMEDIA_TYPE_VIDEO] - ost.frame_number);
    if (nb_frames <= 0) {
        return;
    }
    AVFrame* final = fit_picture_to_encoder(ost, ist, picture);
    if (final == nullptr) {
        return;
    }
    if (!ost.last_frame || ost.last_frame->buf[0] == nullptr) {
        repeats = 0; // nothing shown yet: the gap takes this picture
    }
    AVFrame* f = ost.enc_frame.get();
    for (int i = 0; i < nb_frames && !stop_requested_; ++i) {
        if (fn::av_frame_ref(f, i < repeats ? ost.last_frame.get() : final) < 0) {
            throw FFmpegException(enginemsg::VideoEncodingFailed);
        }
        f->pts = ost.sync_opts;
        f->interlaced_frame = picture->interlaced_frame;
        if (enc->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)) {
            f->top_field_first = pending_.top_field_first == -1 ? picture->top_field_first
                                                                : pending_.top_field_first;
        }
        f->quality = static_cast<int>(pending_.same_quality ? ist.quality : ost.slot->quality);
        if (pending_.me_threshold == 0) {
            f->pict_type = AV_PICTURE_TYPE_NONE;
        }
        preview_.preview_handoff(f, fn::av_rescale_q(ost.sync_opts, enc->time_base, AV_TIME_BASE_Q),
                                 hooks_.FrameCounter());
        writer_.encode_frame(ts, ost, f);
        fn::av_frame_unref(f);
        ost.sync_opts++;
        ost.frame_number++;
    }
    if (ost.last_frame || (ost.last_frame = media::MakeFrame())) {
        fn::av_frame_unref(ost.last_frame.get());
        if (fn::av_frame_ref(ost.last_frame.get(), final) < 0) {
            throw FFmpegException(enginemsg::VideoEncodingFailed);
        }
    }
    if (ost.crop_frame) {
        fn::av_frame_unref(ost.crop_frame.get());
    }
}
