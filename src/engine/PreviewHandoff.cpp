// Preview pictures for the preview-bitmap callback or a preview window.

#include "PreviewHandoff.h"

#include "FFmpeg.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "Previewer.h"

std::mutex& PreviewLock() {
    static std::mutex lock;
    return lock;
}

TPreviewHandoff::TPreviewHandoff(TCustomFFmpeg& task) : task_(task) {}

void TPreviewHandoff::SetFlags(std::uint8_t flags) {
    std::lock_guard lock(PreviewLock());
    if ((preview_flags_ & PreviewWindowFlag) && !(flags & PreviewWindowFlag)) {
        previewer_.reset();
    }
    preview_flags_ = flags;
}

std::uint8_t TPreviewHandoff::Flags() const {
    std::lock_guard lock(PreviewLock());
    return preview_flags_;
}

void TPreviewHandoff::Release() {
    converter_.Reset();
    std::lock_guard lock(PreviewLock());
    previewer_.reset();
}

void TPreviewHandoff::Reset() {
    last_preview_time_ = 0;
    converter_.Reset();
    std::lock_guard lock(PreviewLock());
    preview_flags_ = 0;
    previewer_.reset();
}

void TPreviewHandoff::preview_handoff(const AVFrame* picture, std::int64_t pts, int frameNumber) {
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
    if ((flags & PreviewBitmapFlag) && task_.PreviewBitmapHandler) {
        clear = show_bitmap(picture, pts, frameNumber);
    } else if (flags & PreviewWindowFlag) {
        clear = show_in_window(picture, pts, frameNumber);
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

std::uint8_t TPreviewHandoff::show_bitmap(const AVFrame* picture, std::int64_t pts,
                                          int frameNumber) {
    if (!converter_.ToBitmap(picture->data, picture->linesize, picture->format, picture->height,
                             picture->width)) {
        LoggerInstance().Log(&task_, llError, enginemsg::ToRGBContextFail);
        return PreviewBitmapFlag;
    }
    task_.PreviewBitmapHandler(task_, converter_.Bitmap(), pts, frameNumber);
    return 0;
}

std::uint8_t TPreviewHandoff::show_in_window(const AVFrame* picture, std::int64_t pts,
                                             int frameNumber) {
    if (!converter_.ToBitmap(picture->data, picture->linesize, picture->format, picture->height,
                             picture->width)) {
        LoggerInstance().Log(&task_, llError, enginemsg::ToRGBContextFail);
        return PreviewWindowFlag;
    }
    std::shared_ptr<TPreviewer> previewer;
    {
        std::lock_guard lock(PreviewLock());
        if (!previewer_ && (preview_flags_ & PreviewWindowFlag)) {
            previewer_ = std::make_shared<TPreviewer>();
        }
        previewer = previewer_;
    }
    if (previewer && !previewer->ShowPicture(converter_.Bitmap(), frameNumber, pts)) {
        return PreviewWindowFlag;
    }
    return 0;
}
