#include "WaterMarkPreviewHook.h"

#include "PictureEffects.h"

#include <algorithm>

namespace {

// Crop outline colour, blue-green-red.
constexpr std::uint8_t OutlineBlue = 0;
constexpr std::uint8_t OutlineGreen = 128;
constexpr std::uint8_t OutlineRed = 0;

void PaintSpan(TBitmap24& frame, int x0, int x1, int y0, int y1) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, frame.Width());
    y1 = std::min(y1, frame.Height());
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* pixel = frame.ScanLine(y) + x0 * 3;
        for (int x = x0; x < x1; ++x, pixel += 3) {
            pixel[0] = OutlineBlue;
            pixel[1] = OutlineGreen;
            pixel[2] = OutlineRed;
        }
    }
}

// A 2-pixel line on each side of the border between the crop rectangle and its margins.
void OutlineCrop(TBitmap24& frame, const TWaterMarkCrop& crop) {
    const int left = crop.Left;
    const int top = crop.Top;
    const int right = frame.Width() - crop.Right;
    const int bottom = frame.Height() - crop.Bottom;
    if (right <= left || bottom <= top) {
        return;
    }
    PaintSpan(frame, left - 1, right + 1, top - 1, top + 1);
    PaintSpan(frame, left - 1, right + 1, bottom - 1, bottom + 1);
    PaintSpan(frame, left - 1, left + 1, top - 1, bottom + 1);
    PaintSpan(frame, right - 1, right + 1, top - 1, bottom + 1);
}

} // namespace

bool TWaterMarkAdjustments::Active() const {
    return EffectsActive(Brightness, Contrast, Saturation, Exposure);
}

void RenderPreviewFrame(TBitmap24& frame, const TWaterMarkCrop& crop,
                        const TWaterMarkAdjustments& adjustments) {
    if (frame.Empty()) {
        return;
    }
    OutlineCrop(frame, crop);
    if (adjustments.Active()) {
        AdjustColors(frame, adjustments.Brightness, adjustments.Contrast, adjustments.Saturation);
        AdjustExposure(frame, static_cast<float>(adjustments.Exposure));
    }
}

void TWaterMarkPreviewHook::SetCrop(const TWaterMarkCrop& crop) {
    std::lock_guard lock(settingsMutex_);
    crop_ = crop;
}

TWaterMarkCrop TWaterMarkPreviewHook::Crop() const {
    std::lock_guard lock(settingsMutex_);
    return crop_;
}

void TWaterMarkPreviewHook::SetAdjustments(const TWaterMarkAdjustments& adjustments) {
    std::lock_guard lock(settingsMutex_);
    adjustments_ = adjustments;
}

TWaterMarkAdjustments TWaterMarkPreviewHook::Adjustments() const {
    std::lock_guard lock(settingsMutex_);
    return adjustments_;
}

void TWaterMarkPreviewHook::SetOnPictureWaiting(std::function<void()> handler) {
    std::lock_guard lock(settingsMutex_);
    onWaiting_ = std::move(handler);
}

void TWaterMarkPreviewHook::Process(TBitmap24& frame, std::int64_t pts) {
    TWaterMarkCrop crop;
    TWaterMarkAdjustments adjustments;
    std::function<void()> onWaiting;
    {
        std::lock_guard lock(settingsMutex_);
        crop = crop_;
        adjustments = adjustments_;
        onWaiting = onWaiting_;
    }
    TPicture picture{frame, {}, pts};
    RenderPreviewFrame(frame, crop, adjustments);
    picture.Shown = frame;
    bool wasWaiting = false;
    {
        std::lock_guard lock(pictureMutex_);
        wasWaiting = waiting_.has_value();
        waiting_ = std::move(picture);
    }
    if (!wasWaiting && onWaiting) {
        onWaiting();
    }
}

std::optional<TWaterMarkPreviewHook::TPicture> TWaterMarkPreviewHook::Take() {
    std::lock_guard lock(pictureMutex_);
    std::optional<TPicture> picture = std::move(waiting_);
    waiting_.reset();
    return picture;
}
