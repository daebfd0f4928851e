// Disc and DV targets: one word sets the container, codecs, picture, rates and buffer sizes,
// with the television norm given or detected.

#include "FFmpeg.h"

#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"

#include <cmath>

namespace {

enum TNorm { PAL = 0, NTSC = 1, FILM = 2 };

const char* const kFrameRates[] = {"25", "30000/1001", "24000/1001"};

// 25000 for PAL, 29970 or 23976 for NTSC, anything else leaves the norm open.
bool NormFromRate(double rate, TNorm& norm) {
    const long milli = std::lround(rate * 1000);
    if (milli == 25000) {
        norm = PAL;
        return true;
    }
    if (milli == 29970 || milli == 23976) {
        norm = NTSC;
        return true;
    }
    return false;
}

} // namespace

void TCustomFFmpeg::opt_target(const std::string& value) {
    std::string kind = value;
    std::string norm = "auto";
    for (const char* prefix : {"pal-", "ntsc-", "film-"}) {
        const std::string p = prefix;
        if (kind.compare(0, p.size(), p) == 0) {
            norm = p.substr(0, p.size() - 1);
            kind = kind.substr(p.size());
            break;
        }
    }
    SetTargetNorm(kind, norm, "ntsc");
}

void TCustomFFmpeg::SetTargetNorm(const std::string& kind, const std::string& normWord,
                                  const std::string& fallbackNorm) {
    TNorm norm = PAL;
    if (normWord == "pal") {
        norm = PAL;
    } else if (normWord == "ntsc") {
        norm = NTSC;
    } else if (normWord == "film") {
        norm = FILM;
    } else {
        if (pending_.frame_rate.den == 0) {
            throw FFmpegException(enginemsg::FrameRateInvalid);
        }
        bool decided = NormFromRate(
            static_cast<double>(pending_.frame_rate.num) / pending_.frame_rate.den, norm);
        for (const TInputFileSlot& input : input_files_) {
            if (decided || input.ctx == nullptr) {
                break;
            }
            for (unsigned i = 0; i < input.ctx->nb_streams && !decided; ++i) {
                AVStream* st = input.ctx->streams[i];
                if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
                    continue;
                }
                const AVRational rate = fn::av_guess_frame_rate(input.ctx.get(), st, nullptr);
                if (rate.num > 0 && rate.den > 0) {
                    decided = NormFromRate(static_cast<double>(rate.num) / rate.den, norm);
                }
            }
        }
        if (!decided) {
            norm = fallbackNorm == "film" ? FILM : fallbackNorm == "ntsc" ? NTSC : PAL;
        }
        if (switches_.verbose > 0) {
            LoggerInstance().LogFmt(this, llVerbose, enginemsg::AssumingNorm,
                                    norm == PAL ? "PAL" : "NTSC");
        }
    }

    const bool pal = norm == PAL;
    const bool vcd = kind == "vcd";
    const bool svcd = kind == "svcd";
    const bool dvd = kind == "dvd";
    const bool dv = kind == "dv" || kind == "dv50";
    if (!vcd && !svcd && !dvd && !dv) {
        throw FFmpegException(enginemsg::UnknownTargetType);
    }

    // A generic option the libraries refuse inside a target is skipped.
    const auto generic = [this](const char* name, const char* value) { opt_default(name, value); };
    const auto frameSize = [this](int width, int height) {
        pending_.frame_width = width;
        pending_.frame_height = height;
    };
    const auto assumeAspect = [this](float ratio, const char* message) {
        if (pending_.frame_aspect_ratio == 0) {
            pending_.frame_aspect_ratio = ratio;
            LoggerInstance().Log(this, llInfo, message);
        }
    };

    if (!dv) {
        pending_.video_codec_name = vcd ? "mpeg1video" : "mpeg2video";
        pending_.audio_codec_name = dvd ? "ac3" : "mp2";
        pending_.file_format = kind;
    } else {
        pending_.file_format = "dv";
    }
    if (vcd) {
        frameSize(352, pal ? 288 : 240);
    } else if (svcd) {
        frameSize(480, pal ? 576 : 480);
    } else {
        frameSize(720, pal ? 576 : 480);
    }
    fn::av_parse_video_rate(&pending_.frame_rate, kFrameRates[norm]);

    if (vcd) {
        generic("g", pal ? "15" : "18");
        generic("b", "1150000");
        generic("maxrate", "1150000");
        generic("minrate", "1150000");
        generic("bufsize", "327680"); // 40 * 1024 * 8
        generic("ab", "224000");
        pending_.audio_sample_rate = 44100;
        pending_.audio_channels = 2;
        generic("packetsize", "2324");
        generic("muxrate", "1411200"); // 75 * 2352 * 8
        // Without a preload the first audio and video packets share a pack, which stand-alone
        // VCD players do not take.
        pending_.mux_preload = 0.44f;
        assumeAspect(4.0f / 3.0f, enginemsg::AssumingAspect43);
    } else if (svcd) {
        generic("g", pal ? "15" : "18");
        generic("b", "2040000");
        generic("maxrate", "2516000");
        generic("minrate", "0");
        generic("bufsize", "1835008"); // 224 * 1024 * 8
        generic("flags", "+scan_offset");
        generic("ab", "224000");
        pending_.audio_sample_rate = 44100;
        if (pending_.audio_channels == 1) {
            pending_.audio_channels = 2;
        }
        generic("packetsize", "2324");
        assumeAspect(4.0f / 3.0f, enginemsg::AssumingAspect43);
    } else if (dvd) {
        generic("g", pal ? "15" : "18");
        generic("b", "6000000");
        generic("maxrate", "9000000");
        generic("minrate", "0");
        generic("bufsize", "1835008");
        generic("ab", "448000");
        pending_.audio_sample_rate = 48000;
        if (pending_.audio_channels == 1) {
            pending_.audio_channels = 2;
        }
        generic("packetsize", "2048"); // one DVD sector
        generic("muxrate", "10080000");
        assumeAspect(16.0f / 9.0f, enginemsg::AssumingAspect169);
    } else {
        const char* pixelFormat = kind == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p";
        pending_.frame_pix_fmt = fn::av_get_pix_fmt(pixelFormat);
        pending_.audio_sample_rate = 48000;
        pending_.audio_channels = 2;
    }
}
