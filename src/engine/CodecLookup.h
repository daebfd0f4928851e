#pragma once

// Codec lookup by name, shared by inputs (decoders) and outputs (encoders).

#include "EngineTypes.h"

#include <string>

class TEngineSettings;

class TCodecLookup {
public:
    // With no name: no codec, and success. On failure sets the task's LastErrorText.
    static bool find_codec(const TEngineSettings& s, const std::string& name, AVMediaType type,
                           bool encoder, int strict, const AVCodec*& codec);
    // The encoder for a codec guessed from the container, through the alias table when the
    // platform lacks it; null when there is none.
    static const AVCodec* default_encoder(const TEngineSettings& s, AVCodecID id);
};
