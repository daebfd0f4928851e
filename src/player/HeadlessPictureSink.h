#pragma once

#include "PictureSink.h"

#include <functional>
#include <memory>
#include <mutex>

// A picture sink without a display: it keeps the latest picture and counts what it was asked
// to do. For headless playback (tools, tests, benchmarks).
class THeadlessPictureSink : public IPictureSink {
public:
    using TShowHandler = std::function<void(const TSinkPicture& picture, TPictureRect rect)>;

    // A surface of that size; 0 x 0 takes the size the player asks for when it opens.
    explicit THeadlessPictureSink(int width = 0, int height = 0);

    void SurfaceSize(int& width, int& height) const override;
    bool OpenSurface(int width, int height) override;
    void ShowPicture(std::shared_ptr<const TSinkPicture> picture, TPictureRect rect) override;
    void Redraw() override;
    void Clear() override;
    void SetSurfaceListener(ISurfaceListener* listener) override;

    // Changes the surface size as a window resize would, telling the listener.
    void Resize(int width, int height);
    // Makes OpenSurface fail, as a surface that cannot be created.
    void SetOpenFails(bool fails);
    // Runs on the player's thread for every picture shown; must be quick.
    void SetOnShow(TShowHandler handler);

    bool Opened() const;
    int ShownCount() const;
    int RedrawCount() const;
    int ClearCount() const;
    TPictureRect LastRect() const;
    std::shared_ptr<const TSinkPicture> LastPicture() const;

private:
    mutable std::mutex mutex_;
    int width_;
    int height_;
    bool opened_ = false;
    bool openFails_ = false;
    int shown_ = 0;
    int redraws_ = 0;
    int clears_ = 0;
    TPictureRect rect_;
    std::shared_ptr<const TSinkPicture> picture_;
    TShowHandler onShow_;
    ISurfaceListener* listener_ = nullptr;
};
