#include "DisplayNames.h"

#include "MediaUtils.h"

#include <array>

const TDisplayNames::TTable& TDisplayNames::VideoEncoders() {
    static const TTable table = {
        {"mpeg-4", "mpeg4"},
        {"3gp", "3gp"},
        {"3g2", "3g2"},
        {"xvid", "libxvid"},
        {"mov", "mov"},
        {"wmv1", "wmv1"},
        {"wmv2", "wmv2"},
        {"wmv3", "wmv3"},
        {"flv", "flv"},
        {"swf", "swf"},
        {"msmpeg4", "msmpeg4"},
        {"msmpeg4v1", "msmpeg4v1"},
        {"svq1", "svq1"},
        {"h264", "libx264"},
        {"msmpeg4v2", "msmpeg4v2"},
        {"mpeg1video", "mpeg1video"},
        {"mpeg2video", "mpeg2video"},
        {"h263", "h263"},
        {"h263p", "h263p"},
        {"rawvideo", "rawvideo"},
        {"rv10", "rv10"},
        {"rv20", "rv20"},
        {"dvvideo", "dvvideo"},
        {"huffyuv", "huffyuv"},
        {"ljpeg", "ljpeg"},
        {"mjpeg", "mjpeg"},
        {"zlib", "zlib"},
        {"h265", "libx265"},
        {"av1", "libsvtav1"},
        {"vp9", "libvpx-vp9"},
        {"h.264 (vaapi)", "h264_vaapi"},
        {"h.265 (vaapi)", "hevc_vaapi"},
        {"vp9 (vaapi)", "vp9_vaapi"},
        {"h.264 (nvenc)", "h264_nvenc"},
        {"h.265 (nvenc)", "hevc_nvenc"},
    };
    return table;
}

const TDisplayNames::TTable& TDisplayNames::AudioEncoders() {
    static const TTable table = {
        {"mp3", "libmp3lame"},
        {"ogg", "vorbis"},
        {"mp2", "mp2"},
        {"aac", "libfaac"},
        {"ac-3", "ac3"},
        {"flac", "libflac"},
        {"alac", "alac"},
        {"libamr_nb", "libopencore_amrnb"},
        {"flac", "flac"},
        {"adpcm_swf", "adpcm_swf"},
        {"adpcm_yamaha", "adpcm_yamaha"},
        {"pcm-8bit", "pcm_s8"},
        {"pcm-16bit", "pcm_s16be"},
        {"pcm-24bit", "pcm_s24be"},
        {"pcm-32bit", "pcm_s32be"},
        {"pcm-32bit float", "pcm_f32be"},
        {"pcm-64bit float", "pcm_f64be"},
        {"ccitt a-law(8-bit)", "pcm_alaw"},
        {"ccitt mu-law(8-bit)", "pcm_mulaw"},
        {"ima adpcm(4-bit)", "adpcm_ima_qt"},
        {"gsm", "libgsm"},
        {"pcm_s16", "pcm_s16le"},
        {"pcm_u16", "pcm_u16le"},
        {"pcm_alaw", "pcm_alaw"},
        {"pcm_mulaw ", "pcm_mulaw"},
        {"adpcm_ms", "adpcm_ms"},
        {"adpcm_ima_wav", "adpcm_ima_wav"},
        {"wma1", "wmav1"},
        {"wma2", "wmav2"},
        {"opus", "libopus"},
    };
    return table;
}

namespace {

std::optional<std::string> Lookup(const TDisplayNames::TTable& table, const std::string& name,
                                  bool lastWins) {
    const std::string lower = LowerCase(name);
    std::optional<std::string> found;
    for (const auto& [display, stored] : table) {
        if (display == lower) {
            found = stored;
            if (!lastWins) {
                break;
            }
        }
    }
    return found;
}

} // namespace

std::optional<std::string> TDisplayNames::VideoEncoder(const std::string& displayName) {
    return Lookup(VideoEncoders(), displayName, false);
}

std::optional<std::string> TDisplayNames::AudioEncoder(const std::string& displayName) {
    return Lookup(AudioEncoders(), displayName, true);
}

std::optional<std::string> TDisplayNames::Channel(const std::string& displayName) {
    if (displayName == "as source") {
        return "as source";
    }
    if (displayName == "mono 1 channel") {
        return "1";
    }
    if (displayName == "stereo 2 channels") {
        return "2";
    }
    return std::nullopt;
}

std::optional<std::string> TDisplayNames::Volume(const std::string& displayName) {
    static constexpr std::array<int, 12> offered{25,  50,  75,  100, 125, 150,
                                                 175, 200, 250, 300, 350, 400};
    if (displayName.empty()) {
        return std::nullopt;
    }
    int percent = 0;
    if (!TryStrToInt(displayName.substr(0, displayName.size() - 1), percent)) {
        return std::nullopt;
    }
    for (const int p : offered) {
        if (p == percent) {
            return std::to_string(p * 256 / 100);
        }
    }
    return std::nullopt;
}
