#pragma once

#include "PreviewWindow.h"

#include <atomic>
#include <cstdint>
#include <memory>

class TBitmap24;

// Shows the pictures a conversion produces in a floating window on the main thread. After the
// user closes the window it refuses further pictures so the engine can stop producing them.
class TPreviewer {
public:
    TPreviewer() = default;
    ~TPreviewer();
    TPreviewer(const TPreviewer&) = delete;
    TPreviewer& operator=(const TPreviewer&) = delete;

    // Paints on the main thread and waits for it; false once the window has been closed.
    bool ShowPicture(const TBitmap24& picture, int frameNumber, std::int64_t pts);
    bool Closed() const { return closed_.load(); }
    bool HasWindow() const { return static_cast<bool>(window_); }

private:
    void PaintPicture();

    std::unique_ptr<IPreviewWindow> window_;
    std::atomic<bool> closed_{false};
    const TBitmap24* picture_ = nullptr;
    int frameNumber_ = 0;
    std::int64_t pts_ = 0;
};
