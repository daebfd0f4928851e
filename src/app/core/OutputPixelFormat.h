#pragma once

#include <string>

// The picture format an output is written in, decided from the encoder alone so that every
// player of the format can decode it whatever the source's depth, chroma or range.
class TOutputPixelFormat {
public:
    // The pixel format name for the encoder ("libx264", "mpeg4", ...); empty leaves the
    // choice to the engine (encoders with one fixed format, or lossless ones that keep the
    // source's).
    static std::string For(const std::string& videoCodec);
    // True when the encoder is one whose decoders in devices and browsers take only 8-bit 4:2:0.
    static bool WantsEightBit420(const std::string& videoCodec);
};
