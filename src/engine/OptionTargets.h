#pragma once

// Disc and DV targets: one word sets the container, codecs, picture, rates and buffer sizes,
// with the television norm given or detected.

#include <string>

class TEngineSettings;

class TOptionTargets {
public:
    // The target option: "vcd", "svcd", "dvd", "dv" or "dv50", optionally after "pal-",
    // "ntsc-" or "film-"; without a norm it is detected, falling back to NTSC.
    static void opt_target(TEngineSettings& s, const std::string& value);
    // normWord "pal", "ntsc" or "film", or anything else to detect the norm from the pending
    // frame rate and the opened inputs, falling back to fallbackNorm.
    static void SetTargetNorm(TEngineSettings& s, const std::string& kind,
                              const std::string& normWord, const std::string& fallbackNorm);
};
