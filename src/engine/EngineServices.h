#pragma once

// What the parts of a task ask of the task itself: the sender their log lines carry, the
// task's last error text, and codec lookup by name (a service of the option vocabulary).

#include "LibraryFunctions.h"

#include <functional>
#include <string>

struct TEngineServices {
    const void* sender = nullptr;
    std::function<void(const std::string&)> setLastErrorText;
    std::function<std::string()> lastErrorText;
    // On failure sets the last error text and returns false; an empty name finds nothing.
    std::function<bool(const std::string& name, AVMediaType type, bool encoder, int strict,
                       const AVCodec*& codec)>
        findCodec;
    // The encoder for a codec guessed from the container, or null.
    std::function<const AVCodec*(AVCodecID id)> defaultEncoder;
};
