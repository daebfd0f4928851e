#pragma once

// Pictures handed out while converting: to the preview-bitmap callback or to a preview window,
// at most once per preview interval.

#include "LibraryFunctions.h"
#include "RGBConverter.h"

#include <cstdint>
#include <memory>
#include <mutex>

class TCustomFFmpeg;
class TPreviewer;

inline constexpr std::uint8_t PreviewWindowFlag = 1; // bit 0: preview window
inline constexpr std::uint8_t PreviewBitmapFlag = 2; // bit 1: preview bitmaps

// The process-wide lock around preview flags and the preview hand-off.
std::mutex& PreviewLock();

class TPreviewHandoff {
public:
    // The task is the sender of the preview-bitmap callback.
    explicit TPreviewHandoff(TCustomFFmpeg& task);

    void SetFlags(std::uint8_t flags);
    std::uint8_t Flags() const;
    std::int64_t Interval() const { return preview_interval_; }
    void preview_handoff(const AVFrame* picture, std::int64_t pts, int frameNumber);
    // Drops the preview window and the converter's buffers.
    void Release();
    // Back to no preview at all.
    void Reset();

private:
    // Each returns the flag to clear when its hand-off failed, or 0.
    std::uint8_t show_bitmap(const AVFrame* picture, std::int64_t pts, int frameNumber);
    std::uint8_t show_in_window(const AVFrame* picture, std::int64_t pts, int frameNumber);

    TCustomFFmpeg& task_;
    std::uint8_t preview_flags_ = 0;        // under PreviewLock
    std::shared_ptr<TPreviewer> previewer_; // shared: the worker keeps it alive while it paints
    TRGBConverter converter_;
    std::int64_t last_preview_time_ = 0;
    std::int64_t preview_interval_ = 100000;
};
