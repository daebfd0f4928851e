#pragma once

#include "Bitmap24.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

// The four picture adjustments as the editor's sliders hold them.
struct TWaterMarkAdjustments {
    int Brightness = 255;
    int Contrast = 0;
    int Saturation = 255;
    int Exposure = 0;

    bool Active() const;
    bool operator==(const TWaterMarkAdjustments&) const = default;
};

// The crop margins of the job (source pixels), outlined on every previewed frame.
struct TWaterMarkCrop {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// A frame as the editor previews it: the crop rectangle outlined in green, 2 pixels wide and
// centred on its border, then the adjustments (when any is away from neutral), so the outline
// is adjusted too.
void RenderPreviewFrame(TBitmap24& frame, const TWaterMarkCrop& crop,
                        const TWaterMarkAdjustments& adjustments);

// The editor's hook on its player's decoded pictures. Process runs on the decoding thread: it
// renders the picture in place (the player then shows it so) and leaves a copy of it, and of
// the picture as received, for the window thread, which takes the latest with Take. Nothing of
// the window is touched from the decoding thread; the slider values come from copies the
// window thread keeps current with SetAdjustments.
class TWaterMarkPreviewHook {
public:
    struct TPicture {
        TBitmap24 Received; // before any drawing
        TBitmap24 Shown;    // as rendered
        std::int64_t Pts = 0;
    };

    void SetCrop(const TWaterMarkCrop& crop);
    TWaterMarkCrop Crop() const;
    void SetAdjustments(const TWaterMarkAdjustments& adjustments);
    TWaterMarkAdjustments Adjustments() const;
    // Told on the decoding thread when a picture starts waiting; not again until it is taken.
    // Set it before the hook runs, and clear it only once the hook cannot run any more.
    void SetOnPictureWaiting(std::function<void()> handler);

    void Process(TBitmap24& frame, std::int64_t pts);
    // The latest picture, when one waits; an older one not taken is dropped.
    std::optional<TPicture> Take();

private:
    mutable std::mutex settingsMutex_;
    TWaterMarkCrop crop_;
    TWaterMarkAdjustments adjustments_;
    std::function<void()> onWaiting_;

    std::mutex pictureMutex_;
    std::optional<TPicture> waiting_;
};
