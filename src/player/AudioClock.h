#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

// The time of the sound being heard, in seconds. The sound device's callback sets it from
// the data it hands out and the moment it ran; between callbacks it runs with the wall clock.
// Frozen while paused or starved, so positions do not creep past what was heard.
class TAudioClock {
public:
    static constexpr double kUnset = std::numeric_limits<double>::quiet_NaN();

    // audible: the time of the sound heard at moment now; handed: the time at the end of the
    // sound handed to the device, which the clock never passes.
    void Set(double audible, double handed, double now) {
        ceiling_.store(handed, std::memory_order_release);
        offset_.store(audible - now, std::memory_order_release);
        frozen_.store(kUnset, std::memory_order_release);
    }
    void Freeze(double value) { frozen_.store(value, std::memory_order_release); }
    // Frozen at its current value (NaN stays NaN).
    void Pause(double now) { Freeze(Get(now)); }
    // Runs on from where it was frozen.
    void Resume(double now) {
        const double value = frozen_.load(std::memory_order_acquire);
        if (!std::isnan(value)) {
            Set(value, std::max(value, ceiling_.load(std::memory_order_acquire)), now);
        }
    }
    void Reset() {
        offset_.store(kUnset, std::memory_order_release);
        ceiling_.store(kUnset, std::memory_order_release);
        frozen_.store(kUnset, std::memory_order_release);
    }
    // NaN until the first sound was decoded. A device that stops asking for sound stops the
    // clock at what it was given.
    double Get(double now) const {
        const double frozen = frozen_.load(std::memory_order_acquire);
        if (!std::isnan(frozen)) {
            return frozen;
        }
        return std::min(now + offset_.load(std::memory_order_acquire),
                        ceiling_.load(std::memory_order_acquire));
    }

private:
    std::atomic<double> offset_{kUnset};
    std::atomic<double> ceiling_{kUnset};
    std::atomic<double> frozen_{kUnset};
};
