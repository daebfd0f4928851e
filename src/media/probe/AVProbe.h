#pragma once

#include "CustomAVProbe.h"

#include <cstdint>

// The probe the components instantiate: adds the stream a player or a conversion follows.
class TAVProbe : public TCustomAVProbe {
public:
    TAVProbe();

    void RefreshInfo() override;
    void Close() override;

    // The first video stream, else the first audio stream, else -1.
    int PrimaryStreamIndex() const { return primaryStreamIndex_; }
    // Start time of the primary stream (of the file when there is none) in microseconds; 0 when
    // the file gives none, NoTimestamp while no file is open.
    std::int64_t PrimaryStartTime() const { return primaryStartTime_; }

private:
    int primaryStreamIndex_ = -1;
    std::int64_t primaryStartTime_;
};
