// Picture hooks: the custom hook on a bitmap and the frame-hook plug-ins.

#include "PictureHooks.h"

#include "FFmpeg.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"

TPictureHooks::TPictureHooks(TCustomFFmpeg& task, const TRunSettings& run,
                             TFrameHookChain& frameHooks)
    : task_(task), switches_(run.switches), frame_hooks_(frameHooks) {}

bool TPictureHooks::HasCustomHook() const {
    return static_cast<bool>(task_.CustomHookHandler);
}

void TPictureHooks::Release() {
    converter_.Reset();
}

void TPictureHooks::Reset() {
    frame_counter_ = 0;
    hooks_stopped_ = false;
    converter_.Reset();
}

AVFrame* TPictureHooks::apply_picture_hooks(AVInputStream& ist, AVFrame* frame) {
    ++frame_counter_;
    const bool hookChain = switches_.vhook_active && !hooks_stopped_ && !frame_hooks_.Empty();
    if (!task_.CustomHookHandler && !hookChain) {
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
        LoggerInstance().Log(&task_, llError, enginemsg::HookBufMallocError);
        return frame;
    }
    fn::av_frame_copy_props(hook, frame);
    if (task_.CustomHookHandler) {
        run_custom_hook(ist, hook);
    } else {
        frame_hooks_.ProcessFrameHooks(hook->data, hook->linesize, hook->format, hook->width,
                                       hook->height, ist.pts);
    }
    return hook;
}

void TPictureHooks::run_custom_hook(AVInputStream& ist, AVFrame* picture) {
    bool stopHook = false;
    if (!converter_.ToBitmap(picture->data, picture->linesize, picture->format, picture->height,
                             picture->width)) {
        LoggerInstance().Log(&task_, llError, enginemsg::ToRGBContextFail);
        stopHook = true;
    } else {
        bool update = true;
        try {
            task_.CustomHookHandler(task_, converter_.Bitmap(), stopHook, update, ist.pts,
                                    frame_counter_);
        } catch (const std::exception& e) {
            LoggerInstance().Log(&task_, llError,
                                 std::string(enginemsg::CustomHookError) + e.what());
            update = false;
        }
        if (update && !converter_.FromBitmap(picture->data, picture->linesize, picture->format,
                                             picture->height, picture->width)) {
            LoggerInstance().Log(&task_, llError, enginemsg::FromRGBContextFail);
            stopHook = true;
        }
    }
    if (stopHook) {
        task_.CustomHookHandler = nullptr;
        hooks_stopped_ = true;
    }
}
