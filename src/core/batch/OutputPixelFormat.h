#pragma once

#include <string>

// The picture format an output is written in, decided from the encoder alone so that every
// player of the format can decode it whatever the source's depth, chroma or range.
class TOutputPixelFormat {
public:
    // The pixel format name for the encoder ("libx264", "mpeg4", ...); empty leaves the
    // choice to the engine (encoders with one fixed format, lossless ones that keep the
    // source's, hardware ones that take the device's). H.265, AV1 and VP9 keep 10 bits from
    // a source of more than 8 bits; every format is 4:2:0 in limited range.
    static std::string For(const std::string& videoCodec, int sourceBitDepth = 8);
    // True when the encoder is one whose decoders in devices and browsers take only 8-bit 4:2:0.
    static bool WantsEightBit420(const std::string& videoCodec);
};
