#pragma once

#include "AudioClock.h"
#include "Event.h"
#include "PlaybackSettings.h"
#include "PlayerTypes.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

// Seconds on the monotonic clock every part of the playback measures time with.
inline double PlaybackNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The flags, requests and clocks the threads of one open file share.
struct TPlaybackControl {
    explicit TPlaybackControl(const TPlaybackSettings& s) : settings(s) {}
    TPlaybackControl(const TPlaybackControl&) = delete;
    TPlaybackControl& operator=(const TPlaybackControl&) = delete;

    const TPlaybackSettings settings;

    // Fixed once the file is open.
    std::int64_t startTime = 0; // microseconds, 0 when the file gives none
    std::int64_t duration = -1; // microseconds, -1 unknown
    bool imageSequence = false;
    bool captureDevice = false;
    bool hasVideo = false;
    bool hasAudio = false;

    std::atomic<bool> abortRequest{false};
    std::atomic<bool> paused{false};
    std::atomic<int> readPauseResult{0};
    std::atomic<int> startPausedSteps{0};

    // A seek request: written before seekRequest is raised, read after it is seen.
    std::atomic<bool> seekRequest{false};
    std::atomic<std::int64_t> seekPosition{0};
    std::atomic<std::int64_t> seekRelative{0};
    std::atomic<int> seekFlags{0};
    TEvent seekDone{true};
    TEvent pictureReady{true};

    std::atomic<bool> endOfFile{false};
    std::atomic<bool> queuesRanEmpty{false};
    std::atomic<bool> endReported{false};
    std::atomic<bool> reading{false};
    std::atomic<bool> refreshPending{false};
    // Flush markers sent to the video thread: pictures decoded after the latest one belong to
    // the latest seek.
    std::atomic<std::uint32_t> videoFlushes{0};

    // Video timing shared between the decode thread, the play thread and Resume.
    std::atomic<double> frameTimer{0};
    std::atomic<double> skipFactor{1};
    std::atomic<double> currentPts{0};      // seconds, the picture on screen
    std::atomic<double> currentPtsDrift{0}; // currentPts - the moment it was shown
    std::atomic<bool> driftSet{false};
    std::atomic<double> decodeClock{0}; // the decode thread's video clock (next picture's time)

    TAudioClock audioClock;
    double externalBase = 0;
    double externalTime = PlaybackNow();

    // Statistics, for diagnostics.
    std::atomic<std::int64_t> decoded{0};
    std::atomic<std::int64_t> shown{0};
    std::atomic<std::int64_t> dropped{0};
    std::atomic<std::int64_t> deviceStalls{0};
    std::mutex driftMutex;
    double driftMax = 0;
    double driftSum = 0;
    std::int64_t driftCount = 0;

    double VideoClock(double now) const {
        if (paused.load()) {
            return currentPts.load();
        }
        return driftSet.load() ? currentPtsDrift.load() + now
                               : static_cast<double>(startTime) / 1000000.0;
    }
    double AudioClock(double now) const { return audioClock.Get(now); }
    double ExternalClock(double now) const { return now - externalTime + externalBase; }
    TSyncMaster Master() const {
        switch (settings.syncMaster) {
        case TSyncMaster::Video:
            return hasVideo ? TSyncMaster::Video : TSyncMaster::Audio;
        case TSyncMaster::Audio:
            return hasAudio ? TSyncMaster::Audio : TSyncMaster::Video;
        default:
            return TSyncMaster::External;
        }
    }
    double MasterClock(double now) const {
        switch (Master()) {
        case TSyncMaster::Video:
            return VideoClock(now);
        case TSyncMaster::Audio:
            return AudioClock(now);
        default:
            return ExternalClock(now);
        }
    }
};

// Set on every thread of the playback: such a thread must not wait for the playback to end.
inline thread_local bool tOnPlaybackThread = false;
