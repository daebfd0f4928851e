#include "PreviewSession.h"

#include "MainThread.h"
#include "SliderTime.h"

#include <mutex>
#include <utility>

// The latest picture waiting for the window thread; at most one hand-over is posted at a time.
struct TPreviewSession::TMailbox {
    std::mutex mutex;
    TBitmap24 picture;
    std::int64_t pts = 0;
    bool waiting = false;
    bool posted = false;
    bool accepting = false; // false once closed: a late picture of the old file is dropped
};

TPreviewSession::TPreviewSession(TFFPlayer& player, TEvents events)
    : player_(player), events_(std::move(events)), mailbox_(std::make_shared<TMailbox>()) {
    player_.SetOnFileOpen([this](TCustomPlayer&, std::int64_t duration, int frameWidth,
                                 int frameHeight, int& screenWidth, int& screenHeight) {
        FileOpened(duration, frameWidth, frameHeight, screenWidth, screenHeight);
    });
    player_.SetOnPosition([this](TCustomPlayer&, std::int64_t pts) {
        if (events_.Position) {
            events_.Position(pts);
        }
    });
    player_.SetOnState([this](TCustomPlayer&, TPlayState state) { StateChanged(state); });
    if (Hooking()) {
        player_.SetOnHook(
            [this](TCustomPlayer&, TBitmap24& picture, std::int64_t pts) { Hooked(picture, pts); });
    }
}

TPreviewSession::~TPreviewSession() {
    // The notices stopping hands over find no handler: their owner is going too. The hook
    // goes only once the player's threads have ended, as it may be running.
    player_.SetOnState({});
    player_.SetOnPosition({});
    player_.SetOnFileOpen({});
    Close();
    player_.SetOnHook({});
}

bool TPreviewSession::Hooking() const {
    return static_cast<bool>(events_.Hook) || static_cast<bool>(events_.Picture);
}

bool TPreviewSession::LibrariesLoaded() const {
    return player_.LibrariesLoaded();
}

bool TPreviewSession::Open(const std::string& file, IPictureSink* sink, bool startPaused) {
    {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->accepting = true;
        mailbox_->waiting = false;
    }
    duration_ = 0;
    ended_ = false;
    player_.SetHook(Hooking());
    open_ = player_.Open(file, sink, startPaused);
    paused_ = !open_ || startPaused;
    if (!open_) {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->accepting = false;
    }
    return open_;
}

void TPreviewSession::FileOpened(std::int64_t duration, int frameWidth, int frameHeight,
                                 int& screenWidth, int& screenHeight) {
    duration_ = duration;
    if (events_.FileOpened) {
        events_.FileOpened(duration, frameWidth, frameHeight, screenWidth, screenHeight);
    }
}

void TPreviewSession::StateChanged(TPlayState state) {
    if (state != psEnd || !open_) {
        return;
    }
    // Rewound at once, so that Play starts over without opening the file again.
    player_.Seek(SeekAnyPicture, false, 0);
    player_.Pause();
    paused_ = true;
    ended_ = true;
    if (events_.Ended) {
        events_.Ended();
    }
}

void TPreviewSession::Play() {
    if (!open_) {
        return;
    }
    ended_ = false;
    player_.Resume();
    paused_ = false;
}

void TPreviewSession::Pause() {
    if (!open_) {
        return;
    }
    player_.Pause();
    paused_ = true;
}

void TPreviewSession::Seek(std::int64_t time, TSeekFlag kind) {
    if (open_ && !ended_) {
        player_.Seek(kind, false, time);
    }
}

void TPreviewSession::SeekToSlider(int position, int maximum) {
    Seek(TimeAt(position, maximum));
}

std::int64_t TPreviewSession::TimeAt(int position, int maximum) const {
    return TSliderTime::TimeAt(position, maximum, duration_);
}

int TPreviewSession::SliderPosition(std::int64_t time, int maximum) const {
    return TSliderTime::PositionAt(time, maximum, duration_);
}

void TPreviewSession::Close() {
    {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->accepting = false;
        mailbox_->waiting = false;
        mailbox_->picture = TBitmap24();
    }
    player_.SetHook(false);
    player_.Stop(true);
    open_ = false;
    ended_ = false;
    paused_ = true;
}

// The decoding thread: the window's own drawing first, then a copy for the window thread.
void TPreviewSession::Hooked(TBitmap24& picture, std::int64_t pts) {
    if (events_.Hook) {
        events_.Hook(picture, pts);
    }
    if (!events_.Picture) {
        return;
    }
    std::lock_guard lock(mailbox_->mutex);
    if (!mailbox_->accepting) {
        return;
    }
    mailbox_->picture = picture;
    mailbox_->pts = pts;
    mailbox_->waiting = true;
    if (mailbox_->posted) {
        return; // the hand-over already on its way takes this one
    }
    mailbox_->posted = true;
    TMainThread::Post([this, mailbox = std::weak_ptr<TMailbox>(mailbox_)] {
        if (mailbox.lock() != nullptr) {
            HandOver();
        }
    });
}

void TPreviewSession::HandOver() {
    TBitmap24 picture;
    std::int64_t pts = 0;
    {
        std::lock_guard lock(mailbox_->mutex);
        mailbox_->posted = false;
        if (!mailbox_->waiting) {
            return;
        }
        mailbox_->waiting = false;
        picture = std::move(mailbox_->picture);
        mailbox_->picture = TBitmap24();
        pts = mailbox_->pts;
    }
    events_.Picture(picture, pts);
}
