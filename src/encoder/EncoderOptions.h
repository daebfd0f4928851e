#pragma once

#include "MediaUtils.h"

#include <cstdint>
#include <string>

// What the application asks of one conversion task: one input record and one output record
// per job. Every field's default is what InitInputOptions / InitOutputOptions set.

struct TInputOptions {
    std::string FileName;                 // empty: AddTask's FileName argument
    std::string FileFormat;               // "f"; empty = detect
    std::int64_t StartTime = NoTimestamp; // "ss" in microseconds; NoTimestamp leaves it alone
    int ProgramID = -1;                   // "programid"; negative = none
    std::string ExtOptions;               // further options, one "name=value" per line
};

// Timestamp and tags of an output file.
struct TStreamInfo {
    double Timestamp = -1.0; // local date-time (days since 1899-12-30); 0 = now; < 0 = unset
    int Year = -1;
    int Track = -1;
    std::string Title;
    std::string Author;
    std::string Copyright;
    std::string Comment;
    std::string Album;
    std::string Genre;
};

struct TOutputOptions {
    std::string FileName; // empty: SetOutputFile's FileName argument
    std::string FileFormat;
    int PacketSize = -1;
    int MuxRate = -1;
    float MuxDelay = -1.0f;
    float MuxPreload = -1.0f;
    std::string AudioCodec;
    std::string AudioPreset;
    bool AudioDisable = false;
    int AudioVolume = -1;
    int AudioChannels = -1;
    int AudioSampleRate = -1;
    int AudioBitrate = -1;
    int AudioBitrateTolerance = -1;
    std::string AudioLanguage;
    int AudioSyncMethod = 0;
    std::string AudioTag;
    std::string VideoCodec;
    std::string VideoPreset;
    bool VideoDisable = false;
    std::string FrameRate;
    std::string FrameSize;
    std::string FrameAspectRatio;
    int CropTop = -1;
    int CropBottom = -1;
    int CropLeft = -1;
    int CropRight = -1;
    int GOPSize = -1;
    int VideoBitrate = -1;
    int VideoMaxRate = -1;
    int VideoMinRate = -1;
    int VideoBitrateTolerance = -1;
    int VideoBufferSize = -1;
    int VideoSyncMethod = -1;
    std::string VideoTag;
    std::string VideoFilters;
    std::string VideoLanguage;
    std::string SubtitleCodec;
    std::string SubtitlePreset;
    bool SubtitleDisable = false;
    std::string SubtitleLanguage;
    bool InputSync = false;
    bool CopyTimestamps = false;
    std::int64_t StartTime = NoTimestamp;
    std::int64_t RecordingTime = NoTimestamp;
    TStreamInfo Metadata;
    int Target = 0;            // 0 none, 1 "vcd", 2 "svcd", 3 "dvd"
    int TargetNorm = 0;        // 0 auto, 1 "pal", 2 "ntsc"; anything else auto
    int TargetDefaultNorm = 1; // 1 "pal", anything else "ntsc"
    bool Hook = false;
    bool Join = false;
    std::string ExtOptions;
};

inline void InitInputOptions(TInputOptions& options) {
    options = TInputOptions{};
}
inline void InitOutputOptions(TOutputOptions& options) {
    options = TOutputOptions{};
}
