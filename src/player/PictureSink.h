#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

// A picture ready to be shown: 32-bit pixels, bytes blue, green, red, 255 (a toolkit's
// "RGB32" layout), rows top to bottom, each row 64-byte aligned.
class TSinkPicture {
public:
    TSinkPicture(int width, int height);
    TSinkPicture(const TSinkPicture&) = delete;
    TSinkPicture& operator=(const TSinkPicture&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return stride_; }
    std::uint8_t* Bits() { return pixels_.get(); }
    const std::uint8_t* Bits() const { return pixels_.get(); }
    std::uint8_t* ScanLine(int row) { return pixels_.get() + static_cast<size_t>(row) * stride_; }
    const std::uint8_t* ScanLine(int row) const {
        return pixels_.get() + static_cast<size_t>(row) * stride_;
    }
    void Fill(std::uint32_t bgra);

    // Time of the picture in microseconds from the file's start; -1 for drawings (waveform).
    std::int64_t pts = -1;

private:
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    int width_;
    int height_;
    int stride_;
    std::unique_ptr<std::uint8_t, Free> pixels_;
};

struct TPictureRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const TPictureRect&) const = default;
};

// Told by a sink when its surface changes size; called on the sink's own thread.
class ISurfaceListener {
public:
    virtual ~ISurfaceListener() = default;
    virtual void SurfaceResized(int width, int height) = 0;
    virtual void SurfaceExposed() = 0;
};

// Where the player's pictures go. Every method may be called from the player's threads and
// must not block them for long: a sink keeps the latest picture and paints it on its own thread.
// A sink must outlive the player's use of it (stop the player before destroying its sink).
class IPictureSink {
public:
    virtual ~IPictureSink() = default;

    // The drawing surface's size in pixels; 0 x 0 when it has none yet.
    virtual void SurfaceSize(int& width, int& height) const = 0;
    // Prepares the surface for pictures; width x height is what the player would like when the
    // surface has no size of its own. False when the surface cannot be used.
    virtual bool OpenSurface(int width, int height) = 0;
    // Shows picture in rect (surface coordinates, picture size = rect size); the rest of the
    // surface is black.
    virtual void ShowPicture(std::shared_ptr<const TSinkPicture> picture, TPictureRect rect) = 0;
    // Paints the surface again with what it holds.
    virtual void Redraw() = 0;
    // Forgets the picture: the whole surface is black.
    virtual void Clear() = 0;
    // Who to tell about resizes; null stops the notices. The listener is never called after
    // this returns with null.
    virtual void SetSurfaceListener(ISurfaceListener* listener) = 0;
    // A number naming the surface in messages (a native window id when there is one), or 0.
    virtual unsigned Handle() const { return 0; }
};
