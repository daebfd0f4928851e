#include "SliderTime.h"

#include <algorithm>
#include <limits>

std::int64_t TSliderTime::TimeAt(int position, int maximum, std::int64_t duration) {
    if (maximum <= 0 || duration <= 0 || position <= 0) {
        return 0;
    }
    // Multiplied first so that a third of a minute is twenty seconds exactly; a product too
    // large for whole numbers is reckoned in long double.
    if (duration <= std::numeric_limits<std::int64_t>::max() / position) {
        return static_cast<std::int64_t>(position) * duration / maximum;
    }
    return static_cast<std::int64_t>(static_cast<long double>(position) * duration / maximum);
}

int TSliderTime::PositionAt(std::int64_t time, int maximum, std::int64_t duration) {
    if (maximum <= 0 || duration <= 0 || time <= 0) {
        return 0;
    }
    if (time >= duration) {
        return maximum;
    }
    // time < duration, so the product's quotient stays below maximum; long double keeps a
    // product beyond whole numbers (days of microseconds times a wide slider) exact enough.
    if (time <= std::numeric_limits<std::int64_t>::max() / maximum) {
        return static_cast<int>(time * maximum / duration);
    }
    return std::clamp(static_cast<int>(static_cast<long double>(time) * maximum / duration), 0,
                      maximum);
}
