#pragma once

#include <cstdint>
// What option building needs to know of a job's source. Read from the media
// probe when the file is added (TBatchBuilder::ProbeSource): the video stream that is not a
// cover picture (the cover only when the file has no other video; zero when there is none)
// and the default-flagged sound.
struct TSourceFacts {
    int VideoStreamCount = 0;
    int Width = 0; // of the upright picture: a turned picture's sides are swapped
    int Height = 0;
    std::int64_t BitRate = 0; // bits per second
    int SampleAspectNum = 1;  // the upright picture's pixel shape
    int SampleAspectDen = 1;
    bool CoverOnly = false;        // the only picture is a cover (a music file)
    bool Interlaced = false;       // the pictures are fields
    bool HighDynamicRange = false; // PQ or HLG
    std::int64_t Duration = 0;     // microseconds; 0 when unknown
    int AudioChannels = 0;         // of the sound converted (the default-flagged track)
    int BitDepth = 8;              // bits per sample of the pictures
};
