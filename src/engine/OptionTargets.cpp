// Disc and DV targets: one word sets the container, codecs, picture, rates and buffer sizes,
// with the television norm given or detected.

#include "OptionTargets.h"

#include "EngineSettings.h"
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

// The norm of the pending frame rate, else of the first opened input's video that tells one,
// else the fallback.
TNorm DetectNorm(TEngineSettings& s, const std::string& fallbackNorm) {
    const AVRational pendingRate = s.Pending().frame_rate;
    if (pendingRate.den == 0) {
        throw FFmpegException(enginemsg::FrameRateInvalid);
    }
    TNorm norm = PAL;
    bool decided = NormFromRate(static_cast<double>(pendingRate.num) / pendingRate.den, norm);
    for (AVFormatContext* input : s.Host().inputContexts()) {
        if (decided || input == nullptr) {
            break;
        }
        for (unsigned i = 0; i < input->nb_streams && !decided; ++i) {
            AVStream* st = input->streams[i];
            if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
                continue;
            }
            const AVRational rate = fn::av_guess_frame_rate(input, st, nullptr);
            if (rate.num > 0 && rate.den > 0) {
                decided = NormFromRate(static_cast<double>(rate.num) / rate.den, norm);
            }
        }
    }
    if (!decided) {
        norm = fallbackNorm == "film" ? FILM : fallbackNorm == "ntsc" ? NTSC : PAL;
    }
    if (s.Switches().verbose > 0) {
        LoggerInstance().LogFmt(s.Host().sender, llVerbose, enginemsg::AssumingNorm,
                                norm == PAL ? "PAL" : "NTSC");
    }
    return norm;
}

// A generic option the libraries refuse inside a target is skipped.
void Generic(TEngineSettings& s, const char* name, const char* value) {
    s.opt_default(name, value);
}

void AssumeAspect(TEngineSettings& s, float ratio, const char* message) {
    if (s.Pending().frame_aspect_ratio == 0) {
        s.Pending().frame_aspect_ratio = ratio;
        s.Log(llInfo, message);
    }
}

void ApplyVcd(TEngineSettings& s, bool pal) {
    Generic(s, "g", pal ? "15" : "18");
    Generic(s, "b", "1150000");
    Generic(s, "maxrate", "1150000");
    Generic(s, "minrate", "1150000");
    Generic(s, "bufsize", "327680"); // 40 * 1024 * 8
    Generic(s, "ab", "224000");
    s.Pending().audio_sample_rate = 44100;
    s.Pending().audio_channels = 2;
    Generic(s, "packetsize", "2324");
    Generic(s, "muxrate", "1411200"); // 75 * 2352 * 8
    // Without a preload the first audio and video packets share a pack, which stand-alone
    // VCD players do not take.
    s.Pending().mux_preload = 0.44f;
    AssumeAspect(s, 4.0f / 3.0f, enginemsg::AssumingAspect43);
}

void ApplySvcd(TEngineSettings& s, bool pal) {
    Generic(s, "g", pal ? "15" : "18");
    Generic(s, "b", "2040000");
    Generic(s, "maxrate", "2516000");
    Generic(s, "minrate", "0");
    Generic(s, "bufsize", "1835008"); // 224 * 1024 * 8
    Generic(s, "flags", "+scan_offset");
    Generic(s, "ab", "224000");
    s.Pending().audio_sample_rate = 44100;
    if (s.Pending().audio_channels == 1) {
        s.Pending().audio_channels = 2;
    }
    Generic(s, "packetsize", "2324");
    AssumeAspect(s, 4.0f / 3.0f, enginemsg::AssumingAspect43);
}

void ApplyDvd(TEngineSettings& s, bool pal) {
    Generic(s, "g", pal ? "15" : "18");
    Generic(s, "b", "6000000");
    Generic(s, "maxrate", "9000000");
    Generic(s, "minrate", "0");
    Generic(s, "bufsize", "1835008");
    Generic(s, "ab", "448000");
    s.Pending().audio_sample_rate = 48000;
    if (s.Pending().audio_channels == 1) {
        s.Pending().audio_channels = 2;
    }
    Generic(s, "packetsize", "2048"); // one DVD sector
    Generic(s, "muxrate", "10080000");
    AssumeAspect(s, 16.0f / 9.0f, enginemsg::AssumingAspect169);
}

} // namespace

void TOptionTargets::opt_target(TEngineSettings& s, const std::string& value) {
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
    SetTargetNorm(s, kind, norm, "ntsc");
}

void TOptionTargets::SetTargetNorm(TEngineSettings& s, const std::string& kind,
                                   const std::string& normWord, const std::string& fallbackNorm) {
    const TNorm norm = normWord == "pal"    ? PAL
                       : normWord == "ntsc" ? NTSC
                       : normWord == "film" ? FILM
                                            : DetectNorm(s, fallbackNorm);
    const bool vcd = kind == "vcd";
    const bool svcd = kind == "svcd";
    const bool dvd = kind == "dvd";
    const bool dv = kind == "dv" || kind == "dv50";
    if (!vcd && !svcd && !dvd && !dv) {
        throw FFmpegException(enginemsg::UnknownTargetType);
    }

    TPendingSettings& pending = s.Pending();
    if (!dv) {
        pending.video_codec_name = vcd ? "mpeg1video" : "mpeg2video";
        pending.audio_codec_name = dvd ? "ac3" : "mp2";
        pending.file_format = kind;
    } else {
        pending.file_format = "dv";
    }
    const bool pal = norm == PAL;
    pending.frame_width = vcd ? 352 : svcd ? 480 : 720;
    pending.frame_height = vcd ? (pal ? 288 : 240) : pal ? 576 : 480;
    fn::av_parse_video_rate(&pending.frame_rate, kFrameRates[norm]);

    if (vcd) {
        ApplyVcd(s, pal);
    } else if (svcd) {
        ApplySvcd(s, pal);
    } else if (dvd) {
        ApplyDvd(s, pal);
    } else {
        const char* pixelFormat = kind == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p";
        pending.frame_pix_fmt = fn::av_get_pix_fmt(pixelFormat);
        pending.audio_sample_rate = 48000;
        pending.audio_channels = 2;
    }
}
