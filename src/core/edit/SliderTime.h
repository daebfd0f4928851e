#pragma once

// The one mapping between a position slider and a file's time that every preview uses.

#include <cstdint>

class TSliderTime {
public:
    // The time a slider position stands for: its share of the duration, truncated to the
    // microsecond; 0 without a slider range or a known duration.
    static std::int64_t TimeAt(int position, int maximum, std::int64_t duration);
    // The slider position of a time, truncated and held within 0..maximum; 0 without a slider
    // range or a known duration.
    static int PositionAt(std::int64_t time, int maximum, std::int64_t duration);
};
