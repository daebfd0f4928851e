#pragma once

#include "Bitmap24.h"

#include <cstdint>
#include <functional>
#include <string>

class TCustomFFEncoder;

// Event argument records of the encoder component; valid only during the call.

struct THookInfo {
    int TaskIndex = -1;
    TBitmap24* Bitmap = nullptr; // the decoded picture; the handler draws on it
    int FrameNumber = 0;
    std::int64_t PTS = 0;
    bool Update = true;    // in/out: still true after the handler writes the bitmap back
    bool StopHook = false; // in/out: true stops the hook for the rest of the task
};
using PHookInfo = THookInfo*;

struct TPreviewInfo {
    int TaskIndex = -1;
    const TBitmap24* Bitmap = nullptr;
    int FrameNumber = 0;
    std::int64_t PTS = 0;
};

struct TProgressInfo {
    int TaskIndex = -1;
    int FileIndex = 0;   // -1 in the task's final report
    int FrameNumber = 0; // -1 without video output
    int FPS = 0;         // -1 without video output
    float Quality = 0;   // -1 for copied video or no video output
    float BitRate = 0;   // kbit/s
    std::int64_t CurrentSize = 0;
    std::int64_t CurrentDuration = 0;
    std::int64_t TotalDuration = -1;
};
using PProgressInfo = TProgressInfo*;

struct TTerminateInfo {
    int TaskIndex = -1; // -1 for the end of the whole batch
    bool Finished = false;
    bool Exception = false;
    std::string ExceptionMsg;
};

using TCustomHookEvent = std::function<void(TCustomFFEncoder& sender, PHookInfo info)>;
using TPreviewBitmapEvent = std::function<void(TCustomFFEncoder& sender, const TPreviewInfo& info)>;
using TProgressEvent = std::function<void(TCustomFFEncoder& sender, PProgressInfo info)>;
using TTerminateEvent = std::function<void(TCustomFFEncoder& sender, const TTerminateInfo& info)>;
