#pragma once

#include <array>

// Keys of the per-format sections: the catalog's lists and default indexes, and the profile's
// chosen indexes and values.
namespace catalogkey {
inline constexpr const char* Format = "Format";
inline constexpr const char* FileExt = "FileExt";
inline constexpr const char* Description = "Description";
inline constexpr const char* Zoom = "paraZoom";
inline constexpr const char* Null = "null";

// One choice parameter: its catalog list, the index key (catalog default / profile choice)
// and the profile value key.
struct TParameterKeys {
    const char* List;
    const char* Index;
    const char* Value;
};

inline constexpr TParameterKeys VideoSize{"VideoSize", "iVideoSize", "paraVideoSize"};
inline constexpr TParameterKeys VideoBitRate{"VideoBitRate", "iVideoBitRate", "paraVideoBitRate"};
inline constexpr TParameterKeys FrameRate{"FrameRate", "iFrameRate", "paraFrameRate"};
inline constexpr TParameterKeys VideoEncoder{"VideoEncoder", "iVideoEncoder", "paraVideoEncoder"};
inline constexpr TParameterKeys AudioBitRate{"AudioBitRate", "iAudioBitRate", "paraAudioBitRate"};
inline constexpr TParameterKeys SampleRate{"SampleRate", "iSampleRate", "paraSampleRate"};
inline constexpr TParameterKeys AudioEncoder{"AudioEncoder", "iAudioEncoder", "paraAudioEncoder"};
inline constexpr TParameterKeys Channel{"Channel", "iChannel", "paraChannel"};
inline constexpr TParameterKeys Volume{"Volume", "iVolume", "paraVolume"};

inline constexpr std::array<TParameterKeys, 9> Parameters{VideoSize,    VideoBitRate, FrameRate,
                                                          VideoEncoder, AudioBitRate, SampleRate,
                                                          AudioEncoder, Channel,      Volume};

// The extra H.264 settings copied from the catalog into a profile whose encoder is "h264".
inline constexpr std::array<const char*, 7> H264Extras{
    "paraBitExact", "paraMaxBitrate", "paraBufferSize", "paraLevel",
    "paraQscale",   "paraGop",        "paraCoder"};
} // namespace catalogkey
