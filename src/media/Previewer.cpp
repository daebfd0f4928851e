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

struct TPreviewer::TState {
    std::unique_ptr<IPreviewWindow> window;
    std::atomic<bool> closed{false};
    std::atomic<bool> hasWindow{false};

    void Paint(const TBitmap24& picture, std::int64_t pts) {
        if (closed) {
            return;
        }
        if (!window) {
            TPreviewWindowFactory factory = PreviewWindowFactory();
            if (!factory) {
                closed = true; // nowhere to show pictures
                return;
            }
            window = factory(picture.Width(), picture.Height());
            if (!window) {
                closed = true;
                return;
            }
            hasWindow = true;
        }
        if (window->Closed()) {
            closed = true;
            return;
        }
        window->SetCaption(FormatDuration(pts));
        window->Draw(picture);
        if (window->Closed()) {
            closed = true;
        }
    }
};

TPreviewer::TPreviewer() : state_(std::make_shared<TState>()) {}

TPreviewer::~TPreviewer() {
    if (!TMainThread::IsCurrent()) {
        // The window belongs to the main thread; a worker ending its task must not wait for it.
        TMainThread::Post([state = std::move(state_)]() mutable { state.reset(); });
    }
}

bool TPreviewer::Closed() const {
    return state_->closed.load();
}

bool TPreviewer::HasWindow() const {
    return state_->hasWindow.load();
}

bool TPreviewer::ShowPicture(const TBitmap24& picture, int /*frameNumber*/, std::int64_t pts) {
    if (state_->closed) {
        return false;
    }
    if (TMainThread::IsCurrent()) {
        state_->Paint(picture, pts);
    } else {
        TMainThread::Post([state = state_, copy = picture, pts] { state->Paint(copy, pts); });
    }
    return !state_->closed;
}
