#include "HeadlessPreviewWindow.h"

#include "Bitmap24.h"

THeadlessPreviewWindow::THeadlessPreviewWindow(int width, int height,
                                               std::shared_ptr<Shared> shared)
    : shared_(std::move(shared)) {
    std::lock_guard lock(shared_->mutex);
    ++shared_->windowsCreated;
    shared_->clientWidth = width;
    shared_->clientHeight = height;
}

void THeadlessPreviewWindow::SetCaption(const std::string& caption) {
    std::lock_guard lock(shared_->mutex);
    shared_->captions.push_back(caption);
}

void THeadlessPreviewWindow::Draw(const TBitmap24& picture) {
    std::lock_guard lock(shared_->mutex);
    ++shared_->drawn;
    shared_->lastWidth = picture.Width();
    shared_->lastHeight = picture.Height();
}

bool THeadlessPreviewWindow::Closed() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->closed;
}

TPreviewWindowFactory THeadlessPreviewWindow::Factory(std::shared_ptr<Shared> shared) {
    return [shared](int width, int height) -> std::unique_ptr<IPreviewWindow> {
        return std::make_unique<THeadlessPreviewWindow>(width, height, shared);
    };
}
