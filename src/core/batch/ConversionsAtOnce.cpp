#include "ConversionsAtOnce.h"

#include "EncoderOptions.h"
#include "Settings.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

constexpr long StandardDefinitionArea = 720L * 576L;
constexpr long FullHdArea = 1920L * 1080L;

// Width × height of a "WxH" text; -1 when it is not one (empty: as the source).
long FrameArea(const std::string& frameSize) {
    int width = 0;
    int height = 0;
    char rest = 0;
    if (std::sscanf(frameSize.c_str(), "%dx%d%c", &width, &height, &rest) != 2 || width <= 0 ||
        height <= 0) {
        return -1;
    }
    return static_cast<long>(width) * height;
}

bool HeavyEncoder(const std::string& codec) {
    return codec.find("265") != std::string::npos || codec.find("hevc") != std::string::npos ||
           codec.find("svt") != std::string::npos || codec.find("av1") != std::string::npos;
}

} // namespace

int AutoConversionsAtOnce(const TOutputOptions& output, unsigned cores) {
    const int perCore = static_cast<int>(std::clamp(cores, 1u, unsigned{TSettings::MaxAtOnce}));
    if (output.VideoDisable || output.VideoCodec.empty()) {
        return perCore;
    }
    const long area = FrameArea(output.FrameSize);
    if (area > 0 && area <= StandardDefinitionArea) {
        return perCore;
    }
    if (HeavyEncoder(output.VideoCodec) && (area < 0 || area >= FullHdArea)) {
        return 1;
    }
    return std::max(1, perCore / 2);
}

unsigned HardwareThreads() {
    return std::max(1u, std::thread::hardware_concurrency());
}
