#include "AVProbe.h"

#include "LibraryFunctions.h"
#include "MediaUtils.h"

TAVProbe::TAVProbe() : primaryStartTime_(NoTimestamp) {}

void TAVProbe::Close() {
    primaryStreamIndex_ = -1;
    primaryStartTime_ = NoTimestamp;
    TCustomAVProbe::Close();
}

void TAVProbe::RefreshInfo() {
    TCustomAVProbe::RefreshInfo();
    primaryStreamIndex_ = -1;
    primaryStartTime_ = NoTimestamp;
    const AVFormatContext* context = Context();
    if (context == nullptr) {
        return;
    }
    primaryStreamIndex_ =
        FirstVideoStreamIndex() >= 0 ? FirstVideoStreamIndex() : FirstAudioStreamIndex();
    // Microseconds like every time value of the media layer: the stream's own time base would
    // not compare with the file's start time used when there is no primary stream.
    const std::int64_t start =
        primaryStreamIndex_ >= 0
            ? StreamTimeUS(primaryStreamIndex_, context->streams[primaryStreamIndex_]->start_time)
            : context->start_time;
    primaryStartTime_ = start == NoTimestamp ? 0 : start;
}
