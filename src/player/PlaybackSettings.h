#pragma once

#include "PlayerTypes.h"

#include <string>

// What the player fixes for one file at Open.
struct TPlaybackSettings {
    std::string fileName;
    std::string forcedFormat; // demuxer name, empty: probe the file
    bool disableAudio = false;
    bool disableVideo = false;
    bool disableDisplay = false;
    bool startPaused = false;
    int frameWidth = 0; // picture size asked of the demuxer, 0: the file's
    int frameHeight = 0;
    std::string videoFilters; // filter chain text between "in" and "out", may be empty
    int scalerFlags = 4;      // bicubic, for the filter graph's own conversions
    bool frameDrop = true;    // drop late pictures
    int reorderPts = -1;      // 1: decoder's pts, 0: dts, -1: whichever is more reliable
    bool generatePts = false;
    int seekByBytes = -1;               // -1: chosen from the format
    int wantedStream[3] = {-1, -1, -1}; // per type (video, audio, subtitle): n-th of the type
    TSyncMaster syncMaster = TSyncMaster::Audio;
};
