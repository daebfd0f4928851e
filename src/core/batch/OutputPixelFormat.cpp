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

// Today's codecs: their players take 10-bit 4:2:0 as well (H.265 Main 10, AV1 Main, VP9
// Profile 2).
constexpr std::array<const char*, 3> TenBit420Codecs{"libx265", "libsvtav1", "libvpx-vp9"};

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

std::string TOutputPixelFormat::For(const std::string& videoCodec, int sourceBitDepth) {
    const std::string codec = LowerCase(Trim(videoCodec));
    for (const char* name : TenBit420Codecs) {
        if (codec == name) {
            return sourceBitDepth > 8 ? "yuv420p10le" : "yuv420p";
        }
    }
    return WantsEightBit420(videoCodec) ? "yuv420p" : std::string();
}
