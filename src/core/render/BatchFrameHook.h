#pragma once

#include "EncoderEvents.h"
#include "JobRecord.h"
#include "WaterMarkRenderer.h"

#include <map>

class IBatchRows;

// The picture hook of one batch: burns each job's adjustments and watermarks into the frames
// of its conversion. The jobs of the checked rows are copied when it is made (before Start),
// so the conversion thread never reads a record the window could change.
class TBatchFrameHook {
public:
    explicit TBatchFrameHook(IBatchRows& rows);

    // On the conversion thread, for a frame of the task of row. A frame left as it was clears
    // info.Update; an image that cannot be read raises, and the engine logs it.
    void Render(int row, THookInfo& info);

private:
    std::map<int, TlvFilesRecord> jobs_;
    TWaterMarkRenderer renderer_;
};
