#include "HeadlessPictureSink.h"

THeadlessPictureSink::THeadlessPictureSink(int width, int height)
    : width_(width), height_(height) {}

void THeadlessPictureSink::SurfaceSize(int& width, int& height) const {
    std::lock_guard lock(mutex_);
    width = width_;
    height = height_;
}

bool THeadlessPictureSink::OpenSurface(int width, int height) {
    std::lock_guard lock(mutex_);
    if (openFails_) {
        return false;
    }
    if (width_ <= 0 || height_ <= 0) {
        width_ = width;
        height_ = height;
    }
    opened_ = true;
    return true;
}

void THeadlessPictureSink::ShowPicture(std::shared_ptr<const TSinkPicture> picture,
                                       TPictureRect rect) {
    TShowHandler handler;
    {
        std::lock_guard lock(mutex_);
        ++shown_;
        rect_ = rect;
        picture_ = picture;
        handler = onShow_;
    }
    if (handler && picture) {
        handler(*picture, rect);
    }
}

void THeadlessPictureSink::Redraw() {
    std::lock_guard lock(mutex_);
    ++redraws_;
}

void THeadlessPictureSink::Clear() {
    std::lock_guard lock(mutex_);
    ++clears_;
    picture_.reset();
}

void THeadlessPictureSink::SetSurfaceListener(ISurfaceListener* listener) {
    std::lock_guard lock(mutex_);
    listener_ = listener;
}

void THeadlessPictureSink::Resize(int width, int height) {
    std::lock_guard lock(mutex_);
    width_ = width;
    height_ = height;
    // Under the lock: once SetSurfaceListener(null) returned, the listener is never called.
    if (listener_ != nullptr) {
        listener_->SurfaceResized(width, height);
    }
}

void THeadlessPictureSink::SetOpenFails(bool fails) {
    std::lock_guard lock(mutex_);
    openFails_ = fails;
}

void THeadlessPictureSink::SetOnShow(TShowHandler handler) {
    std::lock_guard lock(mutex_);
    onShow_ = std::move(handler);
}

bool THeadlessPictureSink::Opened() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

int THeadlessPictureSink::ShownCount() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

int THeadlessPictureSink::RedrawCount() const {
    std::lock_guard lock(mutex_);
    return redraws_;
}

int THeadlessPictureSink::ClearCount() const {
    std::lock_guard lock(mutex_);
    return clears_;
}

TPictureRect THeadlessPictureSink::LastRect() const {
    std::lock_guard lock(mutex_);
    return rect_;
}

std::shared_ptr<const TSinkPicture> THeadlessPictureSink::LastPicture() const {
    std::lock_guard lock(mutex_);
    return picture_;
}
