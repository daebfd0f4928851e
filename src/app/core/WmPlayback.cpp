#include "WmPlayback.h"

#include "AVProbe.h"
#include "WaterMarkModel.h"

TWmPlayback::TWmPlayback(TWaterMarkModel& model, TEvents events)
    : model_(model), events_(std::move(events)) {
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
    player_.SetOnHook([this](TCustomPlayer&, TBitmap24& bitmap, std::int64_t pts) {
        model_.PreviewHook().Process(bitmap, pts);
    });
    model_.PreviewHook().SetOnPictureWaiting(events_.PictureWaiting);
}

TWmPlayback::~TWmPlayback() {
    Close();
    player_.SetOnHook({});
    player_.SetOnState({});
    player_.SetOnPosition({});
    player_.SetOnFileOpen({});
    model_.PreviewHook().SetOnPictureWaiting({});
}

std::int64_t TWmPlayback::EstimateDuration(const std::string& file) {
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

bool TWmPlayback::Open(const std::string& file, IPictureSink* sink) {
    player_.SetScreenWidth(SurfaceWidth);
    player_.SetScreenHeight(SurfaceHeight);
    open_ = player_.Open(file, sink, false);
    model_.SetPaused(!open_);
    return open_;
}

// The list is rebuilt with the hook off, so that no picture of the old list comes in between.
void TWmPlayback::FileOpened(std::int64_t duration, int frameWidth, int frameHeight,
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

void TWmPlayback::StateChanged(TPlayState state) {
    if (state != psEnd) {
        return;
    }
    player_.Seek(SeekAnyPicture, false, 0);
    player_.Pause();
    model_.SetPaused(true);
    model_.ForgetLastFrame();
    if (events_.Ended) {
        events_.Ended();
    }
}

void TWmPlayback::Play() {
    if (!open_) {
        return;
    }
    player_.Resume();
    model_.SetPaused(false);
}

void TWmPlayback::Pause() {
    if (!open_) {
        return;
    }
    player_.Pause();
    model_.SetPaused(true);
}

bool TWmPlayback::Paused() const {
    return player_.Paused();
}

void TWmPlayback::Seek(std::int64_t position) {
    if (open_) {
        player_.Seek(SeekToKeyPicture, false, position);
    }
}

void TWmPlayback::Close() {
    player_.SetHook(false);
    if (open_ && player_.Paused()) {
        player_.Resume();
    }
    player_.Stop(true);
    open_ = false;
    model_.SetPaused(true);
    model_.ForgetLastFrame();
}

std::string TWmPlayback::LastErrorText() const {
    return player_.LastErrorText();
}
