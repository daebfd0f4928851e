#include "TrimModel.h"

#include "SliderTime.h"

#include "MediaUtils.h"
#include "ShortName.h"
#include "TrimCropMessages.h"

#include <cmath>

std::string TTrimModel::TimeText(std::int64_t t) {
    const long long us = t;
    return Format(trimcropmsg::TimeFormat, us / 3600000000LL, us / 60000000LL % 60,
                  us / 1000000LL % 60, us % 1000000LL * 1000 / 1000000);
}

std::string TTrimModel::Caption(const std::string& path) {
    const std::string shortened = ShortenedPath(path, CaptionLimit, CaptionLimit);
    return shortened == path ? path : trimcropmsg::TrimCaptionPrefix + shortened;
}

std::string TTrimModel::TrimmedLengthText(std::int64_t length) {
    return std::to_string(length / 1000000);
}

void TTrimModel::FileOpened(std::int64_t duration) {
    sourceDuration_ = duration;
    markStart_ = 0;
    markEnd_ = 0;
}

void TTrimModel::LoadMarks(const TlvFilesRecord& record) {
    if (record.TrimStart >= 0) {
        markStart_ = record.TrimStart;
    }
    markEnd_ = record.TrimLength > 0 ? record.TrimStart + record.TrimLength : sourceDuration_;
    opened_ = true;
}

int TTrimModel::SliderPosition(std::int64_t t, int sliderMax) const {
    return TSliderTime::PositionAt(t, sliderMax, sourceDuration_);
}

std::int64_t TTrimModel::SeekTime(int position, int sliderMax) const {
    return TSliderTime::TimeAt(position, sliderMax, sourceDuration_);
}

bool TTrimModel::SetStart(std::int64_t position) {
    if (position <= 0) {
        return false;
    }
    markStart_ = position;
    return true;
}

bool TTrimModel::SetEnd(std::int64_t position) {
    if (position <= 0) {
        return false;
    }
    markEnd_ = position;
    return true;
}

void TTrimModel::Reset() {
    markStart_ = 0;
    markEnd_ = sourceDuration_;
}

TTrimResult TTrimModel::Result() const {
    const bool usable =
        markStart_ >= 0 && markEnd_ > 0 && markStart_ < markEnd_ && markEnd_ <= sourceDuration_;
    TTrimResult result;
    result.Length = usable ? markEnd_ - markStart_ : sourceDuration_;
    // Unusable marks mean the whole file: a start mark kept from them would cut the file.
    if (!usable || result.Length <= 0) {
        return result;
    }
    result.TrimStart = markStart_ > 0 ? markStart_ : 0;
    const bool whole = result.Length < Tolerance || sourceDuration_ - result.Length < Tolerance ||
                       result.Length == sourceDuration_;
    result.TrimLength = whole ? 0 : result.Length;
    return result;
}

std::optional<std::string> TTrimModel::Apply(TlvFilesRecord& record) const {
    if (!opened_) {
        return std::nullopt;
    }
    const TTrimResult result = Result();
    record.TrimStart = result.TrimStart;
    record.TrimLength = result.TrimLength;
    return TrimmedLengthText(result.Length);
}
