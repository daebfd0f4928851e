#pragma once

#include "FFPlayer.h"
#include "FFmpegLogger.h"
#include "HeadlessPictureSink.h"
#include "TestSupport.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace player_testing {

using namespace std::chrono_literals;

// Fixtures made once with the ffmpeg tool and shared by every test of the program.
struct Fixtures {
    std::string av;     // 3 s, 320x240, 25 fps H.264 (a key picture every 10) + AAC 44.1 kHz
    std::string other;  // 2 s, 176x144 MPEG-4 + MP2 in Matroska
    std::string audio;  // 2 s stereo 44.1 kHz PCM in WAV
    std::string sync10; // 10 s, 160x120, 25 fps H.264 + AAC
    std::string stream; // 4 s MPEG transport stream, for reading from a pipe
    // 1 s portrait 48x64 picture (red band on top, blue below) stored on its side as 64x48,
    // with the rotation in the container as phones write it.
    std::string portrait;
};
const Fixtures& Clips();

// Loads the player's libraries from the system once per process.
void RequirePlayerLibraries();

// Threads of this process right now.
int ThreadCount();

// Records what a player reports; handlers run on the main thread (pumped by the waits).
class TRecorder {
public:
    explicit TRecorder(TCustomPlayer& player, bool withStates = true);

    std::vector<TPlayState> States() const;
    std::vector<std::int64_t> Positions() const;
    int Count(TPlayState state) const;
    bool WaitFor(TPlayState state, int times = 1, std::chrono::milliseconds timeout = 30s) const;
    bool WaitForPosition(std::int64_t atLeast, std::chrono::milliseconds timeout = 30s) const;
    std::int64_t OpenedDuration() const { return duration_; }
    int OpenedWidth() const { return width_; }
    int OpenedHeight() const { return height_; }

private:
    mutable std::mutex mutex_;
    std::vector<TPlayState> states_;
    std::vector<std::int64_t> positions_;
    std::int64_t duration_ = -2;
    int width_ = -2;
    int height_ = -2;
};

// Collects what the logger receives, on the thread that logs.
class TLogCapture {
public:
    TLogCapture();
    ~TLogCapture();
    TLogCapture(const TLogCapture&) = delete;
    TLogCapture& operator=(const TLogCapture&) = delete;
    bool Contains(TLogLevel level, const std::string& text) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<TLogLevel, std::string>> lines_;
};

// True when every pixel of the picture has these blue, green, red bytes (within tolerance).
bool AllPixels(const TSinkPicture& picture, int b, int g, int r, int tolerance = 0);

} // namespace player_testing
