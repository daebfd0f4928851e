#pragma once

#include <cstdint>
#include <functional>

class TBitmap24;
class TCustomPlayer;

// Playing states in their published order; psStep exists but is never reported.
// How Seek finds its place; the flags combine.
enum TSeekFlag : int {
    SeekToKeyPicture = 0,
    SeekBackward = 1,
    SeekByByte = 2, // the position is a byte offset
    SeekAnyPicture = 4,
};

enum TPlayState : std::uint8_t { psPlay, psPause, psResume, psStep, psStop, psEnd };

// adDefault leaves the choice to SDL (and to SDL_AUDIODRIVER); the others name a back-end.
enum TAudioDriver : std::uint8_t { adDefault, adDirectSound, adWaveOut };
// Kept for callers that set it: pictures are drawn by the picture sink, not by SDL.
enum TVideoDriver : std::uint8_t { vdDefault, vdDirectDraw, vdGDI };

using TAudioVolume = int; // 0 (silent) .. 128 (full)

// Which clock the others follow.
enum class TSyncMaster : std::uint8_t { Audio, Video, External };

// Raised once per successful Open, before playing starts. The handler may change the surface
// size; a size still 0 afterwards is taken from the picture sink.
using TFileOpenEvent =
    std::function<void(TCustomPlayer& sender, std::int64_t duration, int frameWidth,
                       int frameHeight, int& screenWidth, int& screenHeight)>;
using TPositionEvent = std::function<void(TCustomPlayer& sender, std::int64_t pts)>;
using TPlayStateEvent = std::function<void(TCustomPlayer& sender, TPlayState state)>;
// Runs on the video decoding thread; the handler draws on the picture.
using THookEvent = std::function<void(TCustomPlayer& sender, TBitmap24& bitmap, std::int64_t pts)>;

// Figures of the current (or last) file, for diagnostics and benchmarks.
struct TPlayerStatistics {
    std::int64_t decoded = 0; // pictures out of the decoder (after filtering)
    std::int64_t shown = 0;   // pictures handed to the sink
    std::int64_t dropped = 0; // decoded pictures never shown (late, skipped or stale)
    std::int64_t driftSamples = 0;
    double driftMaxMs = 0;  // largest |picture time - audio clock| once a second has played
    double driftMeanMs = 0; // mean of the same
    // Times the sound device went unserved for over two buffers although the player's
    // callback was quick: the machine was too busy to keep time.
    std::int64_t deviceStalls = 0;
};
