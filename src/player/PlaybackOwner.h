#pragma once

#include "PictureSink.h"
#include "PlayerTypes.h"

#include <cstdint>

class TBitmap24;

// What the playback of one file needs from the player that owns it. Called from the playback's
// threads.
class IPlaybackOwner {
public:
    virtual ~IPlaybackOwner() = default;

    // The sender of the playback's log lines.
    virtual const void* LogSender() const = 0;
    virtual void ReportState(TPlayState state) = 0;
    // A new position (microseconds from the start); force reports it even when close to the
    // last one.
    virtual void NewPosition(std::int64_t position, bool force) = 0;
    // The seek asked for has shown its first picture (or has nothing to show).
    virtual void SeekFinished() = 0;
    // Asks the play thread to close the file (after an error).
    virtual void PostQuit() = 0;

    // Offers a picture to the hook; false when no hook is wanted or the handler failed (the
    // picture is then shown as decoded).
    virtual bool WantsHook() const = 0;
    virtual bool CallHook(TBitmap24& bitmap, std::int64_t pts) = 0;

    // Live settings.
    virtual int Volume() const = 0;
    virtual bool Muted() const = 0;
    virtual float AspectRatio() const = 0;
    // The surface the pictures are laid out in.
    virtual void SurfaceSize(int& width, int& height) const = 0;
    // Opens the drawing surface for pictures of that size; false (reported) when it cannot.
    virtual bool OpenSurface(int pictureWidth, int pictureHeight) = 0;
    virtual IPictureSink* Sink() const = 0;
};
