#pragma once

// Picture hooks: the custom hook that paints on a bitmap, or the frame-hook plug-ins, each on
// a private copy of the decoded picture; counts the pictures that pass.

#include "FrameHook.h"
#include "RGBConverter.h"
#include "RunSettings.h"
#include "TranscodeState.h"

class TCustomFFmpeg;

class TPictureHooks {
public:
    // The task is the sender of the custom hook callback, which a failing hook clears.
    TPictureHooks(TCustomFFmpeg& task, const TRunSettings& run, TFrameHookChain& frameHooks);

    // The picture the hooks drew on, or the frame itself when no hook runs.
    AVFrame* apply_picture_hooks(AVInputStream& ist, AVFrame* frame);
    bool HasCustomHook() const;
    int FrameCounter() const { return frame_counter_; }
    // Drops the converter's buffers.
    void Release();
    void Reset();

private:
    void run_custom_hook(AVInputStream& ist, AVFrame* picture);

    TCustomFFmpeg& task_;
    const TTaskSwitches& switches_;
    TFrameHookChain& frame_hooks_;
    int frame_counter_ = 0;      // decoded pictures through the hooks
    bool hooks_stopped_ = false; // a failing custom hook ends every hook of the run
    TRGBConverter converter_;
};
