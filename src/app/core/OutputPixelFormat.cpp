#include "OutputPixelFormat.h"

#include "MediaUtils.h"

#include <array>

namespace {

// H.264, MPEG-4 Part 2, H.263 and the other consumer codecs of the catalog: their device
// profiles are 8-bit 4:2:0 with limited range.
// "mov" is the catalog's word for the QuickTime container's own default encoder, H.264.
constexpr std::array<const char*, 17> EightBit420Codecs{
    "libx264",   "h264", "mpeg4", "libxvid", "msmpeg4",    "msmpeg4v2",
    "msmpeg4v1", "h263", "h263p", "flv",     "mpeg1video", "mpeg2video",
    "wmv1",      "wmv2", "rv10",  "rv20",    "mov"};

} // namespace

bool TOutputPixelFormat::WantsEightBit420(const std::string& videoCodec) {
    const std::string codec = LowerCase(Trim(videoCodec));
    for (const char* name : EightBit420Codecs) {
        if (codec == name) {
            return true;
        }
    }
    return false;
}

std::string TOutputPixelFormat::For(const std::string& videoCodec) {
    return WantsEightBit420(videoCodec) ? "yuv420p" : std::string();
}
