#include "Previewer.h"

#include "Bitmap24.h"
#include "MainThread.h"
#include "MediaUtils.h"

#include <mutex>

namespace {
std::mutex gFactoryMutex;
TPreviewWindowFactory gFactory;
} // namespace

void SetPreviewWindowFactory(TPreviewWindowFactory factory) {
    std::lock_guard lock(gFactoryMutex);
    gFactory = std::move(factory);
}

TPreviewWindowFactory PreviewWindowFactory() {
    std::lock_guard lock(gFactoryMutex);
    return gFactory;
}

TPreviewer::~TPreviewer() {
    if (window_ && !TMainThread::IsCurrent()) {
        // The window belongs to the main thread; a worker ending its task must not wait for it.
        std::shared_ptr<IPreviewWindow> window(std::move(window_));
        TMainThread::Post([window]() mutable { window.reset(); });
    }
}

bool TPreviewer::ShowPicture(const TBitmap24& picture, int frameNumber, std::int64_t pts) {
    if (closed_) {
        return false;
    }
    picture_ = &picture;
    frameNumber_ = frameNumber;
    pts_ = pts;
    CallInMainThread([this] { PaintPicture(); });
    picture_ = nullptr;
    return !closed_;
}

void TPreviewer::PaintPicture() {
    if (closed_ || picture_ == nullptr) {
        return;
    }
    if (!window_) {
        TPreviewWindowFactory factory = PreviewWindowFactory();
        if (!factory) {
            closed_ = true; // nowhere to show pictures
            return;
        }
        window_ = factory(picture_->Width(), picture_->Height());
        if (!window_) {
            closed_ = true;
            return;
        }
    }
    if (window_->Closed()) {
        closed_ = true;
        return;
    }
    window_->SetCaption(FormatDuration(pts_));
    window_->Draw(*picture_);
    if (window_->Closed()) {
        closed_ = true;
    }
}
