// Picture hooks (the custom hook on a bitmap, the frame-hook plug-ins), preview pictures and
// the video statistics file.

#include "FFmpeg.h"

#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"
#include "Previewer.h"
#include "TranscodeState.h"

#include <cmath>

AVFrame* TCustomFFmpeg::apply_picture_hooks(AVInputStream& ist, AVFrame* frame) {
    ++frame_counter_;
    const bool hookChain = switches_.vhook_active && !frame_hooks_.Empty();
    if (!CustomHookHandler && !hookChain) {
        return frame; // no hook: the decoded picture is used in place
    }
    if (!ist.hook_frame) {
        ist.hook_frame = media::MakeFrame();
    }
    AVFrame* hook = ist.hook_frame.get();
    // Hooks draw on a private copy, never into the decoder's pictures; a copy the encoder
    // still holds is left to it.
    const bool reuse = hook != nullptr && hook->buf[0] != nullptr &&
                       fn::av_frame_is_writable(hook) && hook->width == frame->width &&
                       hook->height == frame->height && hook->format == frame->format;
    if (hook != nullptr && !reuse) {
        fn::av_frame_unref(hook);
        hook->format = frame->format;
        hook->width = frame->width;
        hook->height = frame->height;
    }
    if (hook == nullptr || (!reuse && fn::av_frame_get_buffer(hook, 0) < 0) ||
        fn::av_frame_copy(hook, frame) < 0) {
        LoggerInstance().Log(this, llError, enginemsg::HookBufMallocError);
        return frame;
    }
    fn::av_frame_copy_props(hook, frame);
    if (CustomHookHandler) {
        run_custom_hook(ist, hook);
    } else {
        frame_hooks_.ProcessFrameHooks(hook->data, hook->linesize, hook->format, hook->width,
                                       hook->height, ist.pts);
    }
    return hook;
}

void TCustomFFmpeg::run_custom_hook(AVInputStream& ist, AVFrame* picture) {
    bool stopHook = false;
    if (!hook_converter_.ToBitmap(picture->data, picture->linesize, picture->format,
                                  picture->height, picture->width)) {
        LoggerInstance().Log(this, llError, enginemsg::ToRGBContextFail);
        stopHook = true;
    } else {
        bool update = true;
        try {
            CustomHookHandler(*this, hook_converter_.Bitmap(), stopHook, update, ist.pts,
                              frame_counter_);
        } catch (const std::exception& e) {
            LoggerInstance().Log(this, llError, std::string(enginemsg::CustomHookError) + e.what());
            update = false;
        }
        if (update && !hook_converter_.FromBitmap(picture->data, picture->linesize, picture->format,
                                                  picture->height, picture->width)) {
            LoggerInstance().Log(this, llError, enginemsg::FromRGBContextFail);
            stopHook = true;
        }
    }
    if (stopHook) {
        CustomHookHandler = nullptr;
        switches_.vhook_active = false;
    }
}

void TCustomFFmpeg::preview_handoff(const AVFrame* picture, std::int64_t pts) {
    std::uint8_t flags;
    {
        std::lock_guard lock(PreviewLock());
        flags = preview_flags_;
    }
    if (flags == 0) {
        return;
    }
    const std::int64_t now = fn::av_gettime();
    if (now - last_preview_time_ <= preview_interval_) {
        return;
    }
    // The lock is not held across the callbacks: a handler that waits for the main thread
    // must not block SetPreviewFlags there.
    std::uint8_t clear = 0;
    if ((flags & PreviewBitmapFlag) && PreviewBitmapHandler) {
        if (preview_converter_.ToBitmap(picture->data, picture->linesize, picture->format,
                                        picture->height, picture->width)) {
            PreviewBitmapHandler(*this, preview_converter_.Bitmap(), pts, frame_counter_);
        } else {
            LoggerInstance().Log(this, llError, enginemsg::ToRGBContextFail);
            clear |= PreviewBitmapFlag;
        }
    } else if (flags & PreviewWindowFlag) {
        if (preview_converter_.ToBitmap(picture->data, picture->linesize, picture->format,
                                        picture->height, picture->width)) {
            std::shared_ptr<TPreviewer> previewer;
            {
                std::lock_guard lock(PreviewLock());
                if (!previewer_ && (preview_flags_ & PreviewWindowFlag)) {
                    previewer_ = std::make_shared<TPreviewer>();
                }
                previewer = previewer_;
            }
            if (previewer &&
                !previewer->ShowPicture(preview_converter_.Bitmap(), frame_counter_, pts)) {
                clear |= PreviewWindowFlag;
            }
        } else {
            LoggerInstance().Log(this, llError, enginemsg::ToRGBContextFail);
            clear |= PreviewWindowFlag;
        }
    }
    // Counted from the end of this hand-off, so that two handler calls are always more than
    // the interval apart, however long the conversion and the handler took.
    last_preview_time_ = fn::av_gettime();
    if (clear != 0) {
        std::lock_guard lock(PreviewLock());
        if ((clear & PreviewWindowFlag) && (preview_flags_ & PreviewWindowFlag)) {
            previewer_.reset();
        }
        preview_flags_ &= static_cast<std::uint8_t>(~clear);
    }
}

void TCustomFFmpeg::do_video_stats(TTranscodeState& ts, AVOutputStream& ost, int frameSize) {
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
    const double avg = static_cast<double>(video_size_) * 8 / ti1 / 1000.0;
    std::fprintf(f, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
                 static_cast<double>(video_size_) / 1024, ti1, bitrate, avg);
    std::fprintf(f, "type= %c\n",
                 fn::av_get_picture_type_char(static_cast<AVPictureType>(ost.coded_pict_type)));
}
