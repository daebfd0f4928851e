#include "PreviewState.h"

#include "MediaUtils.h"

#include <algorithm>
#include <cmath>

TPreviewButtons TPreviewState::Buttons() const {
    if (stopped_) {
        return {};
    }
    return {.Play = paused_, .Pause = !paused_, .Stop = true, .Snap = true};
}

void TPreviewState::SetPlaying() {
    stopped_ = false;
    paused_ = false;
}

void TPreviewState::SetPaused() {
    stopped_ = false;
    paused_ = true;
}

void TPreviewState::SetStopped() {
    stopped_ = true;
    paused_ = false;
}

std::string TPreviewState::PositionText(std::int64_t microseconds) {
    const long long p = std::max<std::int64_t>(microseconds, 0);
    return Format("%.2lld:%.2lld:%.2lld.%.3lld", p / 3'600'000'000LL, p / 60'000'000 % 60,
                  p / 1'000'000 % 60, p % 1'000'000 * 1000 / 1'000'000);
}

std::string TPreviewState::DurationText(std::int64_t microseconds) {
    const long long seconds =
        microseconds > 0 ? std::llround(static_cast<double>(microseconds) / 1e6) : 0;
    return Format("%lld:%.2lld:%.2lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
}
