#pragma once

#include <cstdint>
#include <string>

// Records the probe fills. Every number is -1 and every text empty until filled, so a failed
// query leaves a record that reads "not available" throughout.

// Container facts of the open file.
struct TFileStreamInfo {
    std::int64_t StartTime = -1; // microseconds
    std::int64_t Duration = -1;  // microseconds
    int BitRate = -1;            // bit/s
    std::int64_t Timestamp = -1; // creation time, seconds since 1970-01-01 UTC
    int Year = -1;
    int Track = -1;
    std::string Title;
    std::string Author;
    std::string Copyright;
    std::string Comment;
    std::string Album;
    std::string Genre;
};

// StartTime and Duration are in the stream's own time base; the US forms in microseconds.
struct TAudioStreamInfo {
    std::string Language;
    std::string CodecName;
    std::int64_t StartTime = -1;
    std::int64_t StartTimeUS = -1;
    std::int64_t Duration = -1;
    std::int64_t DurationUS = -1;
    int BitRate = -1;
    int Channels = -1;
    int SampleRate = -1;
    int SampleFormat = -1;
    bool Default = false; // the file marks it as the track to play
};

struct TVideoStreamInfo {
    std::string Language;
    std::string CodecName;
    std::int64_t StartTime = -1;
    std::int64_t StartTimeUS = -1;
    std::int64_t Duration = -1;
    std::int64_t DurationUS = -1;
    int BitRate = -1;
    int Height = -1;
    int Width = -1;
    float DisplayAspectRatio = -1.0f;
    int PixelFormat = -1;
    int FrameRateNum = -1;
    int FrameRateDen = -1;
    std::int64_t FrameCount = -1; // as the container states it; -1 when it does not
    int Rotation = -1;            // clockwise degrees that show the pictures upright
    int SampleAspectNum = -1;     // the pixels' shape; 0 when the file does not say
    int SampleAspectDen = -1;
    bool AttachedPicture = false;  // a cover picture, not a video
    bool Interlaced = false;       // the stream says its pictures are fields
    bool HighDynamicRange = false; // PQ or HLG transfer
};
