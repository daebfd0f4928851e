#include "WaterMarkPlayback.h"

#include "AVProbe.h"
#include "WaterMarkModel.h"

TWaterMarkPlayback::TWaterMarkPlayback(TWaterMarkModel& model, TEvents events)
    : model_(model), events_(std::move(events)), session_(player_, SessionEvents()) {
    model_.PreviewHook().SetOnPictureWaiting(events_.PictureWaiting);
}

TWaterMarkPlayback::~TWaterMarkPlayback() {
    // Stopping hands over the player's last notices: the window that asked for them is going.
    events_ = {};
    Close();
    model_.PreviewHook().SetOnPictureWaiting({});
}

TPreviewSession::TEvents TWaterMarkPlayback::SessionEvents() {
    TPreviewSession::TEvents events;
    events.FileOpened = [this](std::int64_t duration, int frameWidth, int frameHeight,
                               int& screenWidth, int& screenHeight) {
        FileOpened(duration, frameWidth, frameHeight, screenWidth, screenHeight);
    };
    events.Position = [this](std::int64_t pts) {
        if (events_.Position) {
            events_.Position(pts);
        }
    };
    events.Ended = [this] {
        model_.SetPaused(true);
        model_.ForgetLastFrame();
        if (events_.Ended) {
            events_.Ended();
        }
    };
    events.Hook = [this](TBitmap24& bitmap, std::int64_t pts) {
        model_.PreviewHook().Process(bitmap, pts);
    };
    return events;
}

std::int64_t TWaterMarkPlayback::EstimateDuration(const std::string& file) {
    TAVProbe probe;
    try {
        if (!probe.LoadFile(file) || probe.VideoStreamCount() <= 0 ||
            !probe.IsVideoStream(probe.FirstVideoStreamIndex())) {
            return -1;
        }
    } catch (const std::exception&) {
        return -1; // no libraries
    }
    // Some containers (Matroska) give no stream duration: the file's then stands in.
    TVideoStreamInfo stream;
    if (probe.GetVideoStreamInfo(-1, stream) && stream.DurationUS > 0) {
        return stream.DurationUS;
    }
    TFileStreamInfo container;
    return probe.GetFileStreamInfo(container) && container.Duration > 0 ? container.Duration : -1;
}

bool TWaterMarkPlayback::Open(const std::string& file, IPictureSink* sink) {
    player_.SetScreenWidth(SurfaceWidth);
    player_.SetScreenHeight(SurfaceHeight);
    const bool open = session_.Open(file, sink);
    model_.SetPaused(!open);
    return open;
}

// The list is rebuilt with the hook off, so that no picture of the old list comes in between.
void TWaterMarkPlayback::FileOpened(std::int64_t duration, int frameWidth, int frameHeight,
                                    int& screenWidth, int& screenHeight) {
    screenWidth = SurfaceWidth;
    screenHeight = SurfaceHeight;
    player_.SetHook(false);
    model_.FileOpened(duration, frameWidth, frameHeight);
    player_.SetHook(true);
    if (events_.FileOpened) {
        events_.FileOpened();
    }
}

void TWaterMarkPlayback::Play() {
    if (!session_.IsOpen()) {
        return;
    }
    session_.Play();
    model_.SetPaused(false);
}

void TWaterMarkPlayback::Pause() {
    if (!session_.IsOpen()) {
        return;
    }
    session_.Pause();
    model_.SetPaused(true);
}

bool TWaterMarkPlayback::Paused() const {
    return session_.Player().Paused();
}

void TWaterMarkPlayback::Seek(std::int64_t position) {
    session_.Seek(position);
}

void TWaterMarkPlayback::Close() {
    session_.Close();
    model_.SetPaused(true);
    model_.ForgetLastFrame();
}
