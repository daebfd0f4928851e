#pragma once

#include "EncoderEvents.h"
#include "JobRecord.h"
#include "WaterMarkImageCache.h"

#include <cstdint>
#include <functional>
#include <vector>

class TBitmap24;

// The job record of a job-list row; null when there is no such row.
using TJobOfRow = std::function<const TlvFilesRecord*(int row)>;

// Burns a job's picture adjustments and its watermarks of the moment into the decoded source
// frames of its conversion. One object serves a batch, on the conversion thread; the bitmap
// files of image items are kept while their size and modification time stay the same.
class TWaterMarkRenderer {
public:
    // One frame at pts (microseconds of the source): colours, exposure, then every item active
    // at that second in list order. When an image cannot be read or text cannot be drawn it
    // raises std::runtime_error before touching the frame, so the frame stays as it was and the
    // next frame tries again. False when nothing was to be done and the frame is untouched.
    bool Render(const TlvFilesRecord& job, TBitmap24& frame, std::int64_t pts);

    // The conversion's custom hook: the job of info.TaskIndex is the row taskRows holds for it.
    // A task without a row or a row without a job leaves the frame alone. An untouched frame
    // clears info.Update, so the engine keeps its own picture instead of a colour round trip.
    void Render(THookInfo& info, const std::vector<int>& taskRows, const TJobOfRow& jobOfRow);

    const TWaterMarkImageCache& Images() const { return images_; }

private:
    TWaterMarkImageCache images_;
};
