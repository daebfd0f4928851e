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
    TPreviewer();
    ~TPreviewer();
    TPreviewer(const TPreviewer&) = delete;
    TPreviewer& operator=(const TPreviewer&) = delete;

    // Posts a copy of the picture to the main thread without waiting; false once the window
    // has been closed.
    bool ShowPicture(const TBitmap24& picture, int frameNumber, std::int64_t pts);
    bool Closed() const;
    bool HasWindow() const;

private:
    struct TState;
    // Shared with the posted paints, which may run after the previewer is gone; the window is
    // only ever touched on the main thread.
    std::shared_ptr<TState> state_;
};
