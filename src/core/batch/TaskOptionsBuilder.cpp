#include "TaskOptionsBuilder.h"

#include "AppMessages.h"
#include "CatalogFile.h"
#include "FFmpegException.h"
#include "FormatProfile.h"
#include "HardwareEncoders.h"
#include "MediaUtils.h"
#include "OutputPixelFormat.h"
#include "QualityLevels.h"
#include "SquarePixelFit.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

using namespace catalogkey;

namespace {

constexpr const char* AsSource = "as source";
constexpr long double FourThirds = 4.0L / 3.0L;
// PQ and HLG pictures into SDR BT.709: linear light, a filmic curve, then limited-range 4:2:0.
constexpr const char* ToneMapFilters =
    "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
    "zscale=t=bt709:m=bt709:r=tv,format=yuv420p";

bool IsInteger(const std::string& text, int& value) {
    return TryStrToInt(text, value);
}

// Integers convert too.
bool IsNumber(const std::string& text, double& value) {
    return TryStrToFloat(text, value);
}

int ClampToInt(long double value) {
    if (value >= static_cast<long double>(INT_MAX)) {
        return INT_MAX;
    }
    if (value <= static_cast<long double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

int Even(long long x) {
    return static_cast<int>((x / 2) * 2);
}

// A positive kbit/s text ("96", "96.5") in bits per second; "as source", empty and
// non-numbers give nothing.
bool BitsPerSecond(const std::string& kbits, int& bits) {
    double value = 0;
    if (kbits == AsSource || Trim(kbits).empty() || !IsNumber(kbits, value)) {
        return false;
    }
    double scaled = value * 1000.0;
    // "96.5" and the like are meant as decimals: do not lose a unit to binary rounding.
    const double nearest = std::round(scaled);
    if (std::fabs(scaled - nearest) < 1e-6) {
        scaled = nearest;
    }
    if (scaled <= 0) {
        return false;
    }
    bits = ClampToInt(std::trunc(static_cast<long double>(scaled)));
    return bits > 0;
}

// A positive integer that is not "as source".
bool PositiveInteger(const std::string& text, int& value) {
    return text != AsSource && IsInteger(text, value) && value > 0;
}

void ApplyVolume(const std::string& volume, TOutputOptions& output) {
    if (volume != "256") {
        output.AudioVolume = StrToInt(volume);
    }
}

struct TDiscTarget {
    const char* Word;
    int Target;
    int Norm;
    const char* WideSize; // the frame size that keeps 16:9; nullptr: always 4:3
};

constexpr std::array<TDiscTarget, 6> DiscTargets{{
    {"ntsc-dvd", 3, 2, "720x480"},
    {"pal-dvd", 3, 1, "720x576"},
    {"ntsc-vcd", 1, 2, nullptr},
    {"pal-vcd", 1, 1, nullptr},
    {"ntsc-svcd", 2, 2, nullptr},
    {"pal-svcd", 2, 1, nullptr},
}};

constexpr std::array<const char*, 20> PlainVideoCodecs{
    "mpeg4",   "libxvid", "mpeg1video", "mpeg2video", "msmpeg4", "msmpeg4v1", "msmpeg4v2",
    "huffyuv", "dvvideo", "rawvideo",   "h263p",      "h263",    "rv10",      "rv20",
    "ljpeg",   "mjpeg",   "svq1",       "zlib",       "wmv1",    "wmv2"};

constexpr std::array<const char*, 10> ContainerWords{"ipod", "3gp", "3g2",    "avi", "psp",
                                                     "mov",  "vcd", "mpegts", "vob", "flv"};

// The words of today's formats (their container follows the extension): their H.264 is tuned
// by the encoder's own presets, not by the old device preset files.
constexpr std::array<const char*, 3> ModernContainers{"mp4", "matroska", "webm"};

constexpr std::array<const char*, 3> ModernVideoCodecs{"libx265", "libsvtav1", "libvpx-vp9"};

// Speed settings a desktop user can wait for at 1080p on a few cores. x265 spends no bits on
// keeping the look of grain (its psychovisual rate-distortion): at the same quality level
// that grain costs a third more size for no more fidelity to the source.
struct TEncoderSpeed {
    const char* Codec;
    const char* Options;
};
constexpr std::array<TEncoderSpeed, 4> EncoderSpeeds{{
    {"libx264", "preset=medium"},
    {"libx265", "preset=medium\nx265-params=psy-rd=0:psy-rdoq=0"},
    {"libsvtav1", "preset=8"},
    {"libvpx-vp9", "deadline=good\ncpu-used=4\nrow-mt=1\ntile-columns=2"},
}};

template <size_t N> bool OneOf(const std::string& text, const std::array<const char*, N>& words) {
    return std::any_of(words.begin(), words.end(), [&](const char* w) { return text == w; });
}

// H.263 codes only these picture sizes; others are moved to the next size up by width.
void FitH263Size(int& width, int& height) {
    constexpr std::array<std::array<int, 2>, 4> sizes{
        {{128, 96}, {176, 144}, {352, 288}, {704, 576}}};
    for (const auto& size : sizes) {
        if (width == size[0] && height == size[1]) {
            return;
        }
    }
    for (const auto& size : sizes) {
        if (width <= size[0]) {
            width = size[0];
            height = size[1];
            return;
        }
    }
    width = 704;
    height = 576;
}

std::string Decimal(long long value) {
    return std::to_string(value);
}

// The H.264 profile and level the format's device decodes, as option lines. The encoder
// names the profile by the tools it uses (a profile number would reach the sound encoder
// too): iPods get Constrained Baseline (no B pictures, 8x8 transform or weighted
// prediction), the PSP Main (no 8x8 transform), other players High. The level is the one the
// frame size needs at up to 30 pictures a second: 3.0 up to 720x576, 3.1 up to 1280x720, 4.1
// above.
std::string H264ProfileAndLevel(const std::string& formatWord, int width, int height) {
    const char* tools = formatWord == "ipod"  ? "bf=0\n8x8dct=0\nweightp=0\n"
                        : formatWord == "psp" ? "8x8dct=0\n"
                                              : "";
    const long long area = static_cast<long long>(width) * height;
    const char* level = area <= 720LL * 576 ? "30" : area <= 1280LL * 720 ? "31" : "41";
    return std::string(tools) + "level=" + level;
}

void AppendOptionLine(std::string& options, const std::string& line) {
    if (!options.empty() && options.back() != '\n') {
        options += '\n';
    }
    options += line;
}

void ApplyEncoderSpeed(const std::string& codec, TOutputOptions& output) {
    for (const TEncoderSpeed& speed : EncoderSpeeds) {
        if (codec == speed.Codec) {
            AppendOptionLine(output.ExtOptions, speed.Options);
        }
    }
}

// A hardware encoder this machine does not offer gives way to its software encoder; the
// notice says so.
std::string HardwareOrSoftware(std::string& codec) {
    const THardwareEncoder* hardware = THardwareEncoders::Find(codec);
    if (hardware == nullptr || THardwareEncoders::Instance().Offered(codec)) {
        return {};
    }
    const std::string why = THardwareEncoders::Instance().WhyMissing(codec);
    codec = hardware->Software;
    return ::Format(appmsg::HardwareFallback, hardware->Caption, why.c_str(), hardware->Software);
}

// Containers of sound that hold a cover picture, by file extension.
constexpr std::array<const char*, 3> CoverContainers{"mp3", "m4a", "flac"};

// keepCover: the source's cover picture is copied into the output as its cover.
void AudioOnly(const TFormatProfile& profile, TOutputOptions& output, TInputOptions& input,
               bool keepCover) {
    output.AudioCodec = profile.Read(AudioEncoder.Value, "libfaac");
    int value = 0;
    if (PositiveInteger(profile.Read(Channel.Value, "2"), value)) {
        output.AudioChannels = value;
    }
    if (PositiveInteger(profile.Read(SampleRate.Value, "44100"), value)) {
        output.AudioSampleRate = value;
    }
    if (BitsPerSecond(profile.Read(AudioBitRate.Value, "128"), value)) {
        output.AudioBitrate = value;
    }
    ApplyVolume(profile.Read(Volume.Value, "256"), output);
    // The source's tags (title, artist, album, track...) go with the sound.
    AppendOptionLine(output.ExtOptions, "map_meta_data=0:0");
    output.SubtitleDisable = true;
    if (keepCover) {
        output.VideoCodec = "copy";
        return;
    }
    input.ExtOptions = "vn=1";
    output.VideoDisable = true;
}

void VideoFormatAudio(const TFormatProfile& profile, TOutputOptions& output) {
    std::string codec = Trim(profile.Read(AudioEncoder.Value, ""));
    if (codec == "libamr_nb") {
        codec = "libopencore_amrnb";
    }
    output.AudioCodec = codec;
    if (codec.empty()) {
        output.AudioDisable = true;
    }
    int value = 0;
    const std::string channels = profile.Read(Channel.Value, "2");
    if (channels != AsSource && IsInteger(channels, value)) {
        output.AudioChannels = value;
    }
    ApplyVolume(profile.Read(Volume.Value, "256"), output);
    if (PositiveInteger(profile.Read(SampleRate.Value, "44100"), value)) {
        output.AudioSampleRate = value;
    }
    if (BitsPerSecond(profile.Read(AudioBitRate.Value, "128"), value)) {
        output.AudioBitrate = value;
    }
}

// A mono source stays mono where the format offers mono and its channel choice is still the
// catalog's: the person did not ask for more channels.
void KeepMono(const TCatalogFile& catalog, const TFormatProfile& profile,
              const TSourceFacts& source, TOutputOptions& output) {
    if (source.AudioChannels != 1 || output.AudioChannels <= 1 || output.AudioDisable ||
        LowerCase(catalog.ListText(profile.Code(), Channel)).find("mono") == std::string::npos) {
        return;
    }
    const int catalogIndex = catalog.DefaultIndex(profile.Code(), Channel);
    int chosen = -1;
    if (IsInteger(profile.Read(Channel.Index, Decimal(catalogIndex)), chosen) &&
        chosen == catalogIndex) {
        output.AudioChannels = 1;
    }
}

struct TGeometry {
    int SourceWidth;
    int SourceHeight;
    int TargetWidth;
    int TargetHeight;
    int SampleAspectNum = 1;
    int SampleAspectDen = 1;
};

// Letterbox (and its black-padded "center" variant): scale into the target, pad the rest.
std::string Letterbox(const TlvFilesRecord& job, const TGeometry& g, const char* padColour,
                      TOutputOptions& output, bool keepAspect) {
    const TFrameBars bars =
        SquarePixelFit({g.SourceWidth, g.SourceHeight, g.SampleAspectNum, g.SampleAspectDen},
                       g.TargetWidth, g.TargetHeight);
    const int w = g.TargetWidth - bars.Left - bars.Right;
    const int h = g.TargetHeight - bars.Top - bars.Bottom;
    if (!keepAspect) {
        output.FrameAspectRatio = Decimal(w) + ":" + Decimal(h);
    }
    std::string pad = "pad=" + Decimal(g.TargetWidth) + ":" + Decimal(g.TargetHeight) + ":" +
                      Decimal(bars.Left) + ":" + Decimal(bars.Top) + padColour;
    // The scaler keeps a picture's display shape in its pixels: fitted by display aspect,
    // non-square pixels become square ones (disc targets keep theirs).
    const TPictureShape shape{g.SourceWidth, g.SourceHeight, g.SampleAspectNum, g.SampleAspectDen};
    if (!keepAspect && !shape.SquarePixels()) {
        pad += ",setsar=1";
    }
    if (job.Cropped()) {
        // Named crop arguments: today's crop filter takes width and height first.
        return "crop=x=" + Decimal(job.CropLeft) + ":y=" + Decimal(job.CropTop) +
               ":w=" + Decimal(g.SourceWidth - job.CropLeft - job.CropRight) +
               ":h=" + Decimal(g.SourceHeight - job.CropTop - job.CropBottom) +
               ",scale=" + Decimal(w) + ":" + Decimal(h) + "," + pad;
    }
    output.FrameSize = Decimal(w) + "x" + Decimal(h);
    return pad;
}

// Pan and scan: crop the picture to 4:3, evenly on both sides.
void PanAndScan(const TlvFilesRecord& job, const TGeometry& g, TOutputOptions& output) {
    const long long cw = g.SourceWidth - job.CropLeft - job.CropRight;
    const long long ch = g.SourceHeight - job.CropTop - job.CropBottom;
    const long long ow = g.SourceWidth - output.CropLeft - output.CropRight;
    const long long oh = g.SourceHeight - output.CropTop - output.CropBottom;
    // Stored pixels of this shape are shown pixelAspect wide: 4:3 is judged on the display.
    const TPictureShape shape{g.SourceWidth, g.SourceHeight, g.SampleAspectNum, g.SampleAspectDen};
    const long double pixelAspect =
        shape.SquarePixels() ? 1.0L
                             : static_cast<long double>(g.SampleAspectNum) / g.SampleAspectDen;
    if (cw > 0 && ch > 0 && ow > 0 && oh > 0) {
        const long double r = static_cast<long double>(cw) * pixelAspect / ch;
        if (r > FourThirds) {
            const long long d = std::llabs(
                static_cast<long long>(std::trunc(ow - oh * FourThirds / pixelAspect)) / 2);
            output.CropLeft = Even(d + job.CropLeft);
            output.CropRight = Even(d + job.CropRight);
        } else if (r < FourThirds) {
            const long long d = std::llabs(
                static_cast<long long>(std::trunc(oh - ow * pixelAspect * 3.0L / 4.0L)) / 2);
            output.CropTop = Even(d + job.CropTop);
            output.CropBottom = Even(d + job.CropBottom);
        }
    }
}

} // namespace

std::string BuildTaskOptions(const TlvFilesRecord& job, int formatCode, TOutputOptions& output,
                             const TSourceFacts& source, TInputOptions& input,
                             const TTaskOptionFiles& files, const TAskYesNo& ask) {
    const TCatalogFile catalog(files.CatalogFile);
    const TFormatProfile profile(files.SettingsFile, files.CatalogFile, formatCode);
    const std::string containerWord = catalog.Format(formatCode);
    const std::string formatWord = LowerCase(containerWord);

    // Disc targets, with the aspect they keep.
    bool discAspect = false;
    for (const TDiscTarget& disc : DiscTargets) {
        if (formatWord == disc.Word) {
            output.Target = disc.Target;
            output.TargetNorm = disc.Norm;
            const bool wide =
                disc.WideSize != nullptr && profile.Read(VideoSize.Value, Null) == disc.WideSize;
            output.FrameAspectRatio = wide ? "16:9" : "4:3";
            discAspect = true;
        }
    }

    std::string videoCodec = profile.Read(VideoEncoder.Value, "");
    if (Trim(videoCodec).empty()) {
        AudioOnly(profile, output, input,
                  source.CoverOnly &&
                      OneOf(LowerCase(catalog.FileExt(formatCode)), CoverContainers));
        KeepMono(catalog, profile, source, output);
        return {};
    }
    const std::string notice = HardwareOrSoftware(videoCodec);
    const bool modernContainer = OneOf(formatWord, ModernContainers);

    if (OneOf(videoCodec, PlainVideoCodecs)) {
        output.VideoCodec = videoCodec;
        if (videoCodec == "mpeg2video") {
            output.Target = 3;
        }
    } else if (OneOf(videoCodec, ModernVideoCodecs) || THardwareEncoders::Find(videoCodec)) {
        output.VideoCodec = videoCodec;
        ApplyEncoderSpeed(videoCodec, output);
        const THardwareEncoder* hardware = THardwareEncoders::Find(videoCodec);
        if (hardware != nullptr && hardware->Vaapi) {
            // The render node its trial encode passed on.
            AppendOptionLine(output.ExtOptions,
                             "vaapi_device=" + THardwareEncoders::Instance().DeviceOf(videoCodec));
        }
    } else if (videoCodec == "libx264" && modernContainer) {
        output.VideoCodec = videoCodec;
        ApplyEncoderSpeed(videoCodec, output);
    } else if (videoCodec == "libx264") {
        output.VideoCodec = videoCodec;
        if (formatWord == "psp") {
            output.VideoPreset = "libx264-psp";
        } else if (formatWord == "ipod") {
            output.VideoPreset = "libx264-ipod";
        } else if (formatWord == "ps3") {
            output.VideoPreset = "libx264-ps3";
        } else {
            output.VideoPreset = "libx264-mp4";
        }
    }
    // Container words ("mov", "3gp", "flv", ...) leave the codec to the container.

    std::string filters;
    if (source.VideoStreamCount < 1) {
        output.VideoDisable = true;
    } else {
        int value = 0;
        const std::string videoBitRate = profile.Read(VideoBitRate.Value, "512");
        const std::optional<std::string> level = TQualityLevels::LevelName(videoBitRate);
        if (level) {
            // Constant quality: no bit rate target (the encoders' own default is none).
            for (const auto& [name, option] : TQualityLevels::Options(*level, output.VideoCodec)) {
                AppendOptionLine(output.ExtOptions, name + "=" + option);
            }
        } else if (videoBitRate != AsSource && IsInteger(videoBitRate, value)) {
            if (value > 0) {
                output.VideoBitrate = ClampToInt(static_cast<long double>(value) * 1000);
            }
        } else {
            output.VideoBitrate = ClampToInt(static_cast<long double>(source.BitRate));
        }

        const std::string frameRate = profile.Read(FrameRate.Value, "29.97");
        double rate = 0;
        if (frameRate != AsSource && IsNumber(frameRate, rate) && rate > 0) {
            output.FrameRate = frameRate;
        }

        if (OneOf(formatWord, ContainerWords)) {
            output.FileFormat = containerWord;
        }
        if (formatWord == "mp4") {
            // The index first, so that players start before the whole file has arrived.
            AppendOptionLine(output.ExtOptions, "movflags=+faststart");
            if (output.VideoCodec == "libx265" || output.VideoCodec == "hevc_vaapi" ||
                output.VideoCodec == "hevc_nvenc") {
                // Apple's players take H.265 in MP4 only under this tag.
                output.VideoTag = "hvc1";
            }
        }

        // The frame size the output gets.
        const int sw = source.Width;
        const int sh = source.Height;
        int tw = sw;
        int th = sh;
        // "No" to the question converts at the source's size, as "as source" does.
        const std::string size = profile.Read(VideoSize.Value, Null);
        bool sizeChosen = false;
        if (size != AsSource) {
            const size_t x = size.find('x');
            if (x != std::string::npos && x > 0 && x + 1 < size.size()) {
                sizeChosen = true;
                if (!IsInteger(size.substr(0, x), tw)) {
                    tw = sw;
                }
                if (!IsInteger(size.substr(x + 1), th)) {
                    th = sh;
                }
            } else if (ask && ask(appmsg::FrameSizeQuestion, appmsg::WarningCaption)) {
                sizeChosen = true;
                tw = 320;
                th = 240;
            }
        }
        // At the source's size a crop keeps the cropped size: stretching it back to the whole
        // frame would distort the picture.
        if (!sizeChosen && job.Cropped()) {
            const int cw = Even(static_cast<long long>(sw) - job.CropLeft - job.CropRight);
            const int ch = Even(static_cast<long long>(sh) - job.CropTop - job.CropBottom);
            if (cw > 0 && ch > 0) {
                tw = cw;
                th = ch;
            }
        }
        if (LowerCase(output.VideoCodec) == "h263") {
            FitH263Size(tw, th);
        }
        // The AV1 encoder refuses smaller pictures with a bare "bad parameter".
        if (output.VideoCodec == "libsvtav1" && (tw < 64 || th < 64)) {
            throw FFmpegException(::Format(appmsg::Av1TooSmall, tw, th));
        }

        for (int* crop :
             {&output.CropTop, &output.CropBottom, &output.CropLeft, &output.CropRight}) {
            if (*crop == -1) {
                *crop = 0;
            }
        }

        const TGeometry geometry{sw, sh, tw, th, source.SampleAspectNum, source.SampleAspectDen};
        const std::string targetSize = Decimal(tw) + "x" + Decimal(th);
        const std::string targetAspect = Decimal(tw) + ":" + Decimal(th);
        // The cropped picture at its own size needs neither bars nor scaling.
        const bool croppedAsSource = !sizeChosen && job.Cropped() && job.ZoomMode != "pan";
        if (job.ZoomMode == "full" || croppedAsSource) {
            if (job.Cropped()) {
                output.CropTop = job.CropTop;
                output.CropBottom = job.CropBottom;
                output.CropLeft = job.CropLeft;
                output.CropRight = job.CropRight;
            }
            output.FrameSize = targetSize;
            if (!discAspect) {
                output.FrameAspectRatio = targetAspect;
            }
        } else if (job.ZoomMode == "lbox") {
            filters = Letterbox(job, geometry, "", output, discAspect);
        } else if (job.ZoomMode == "center") {
            filters = Letterbox(job, geometry, ":black", output, discAspect);
        } else if (job.ZoomMode == "pan") {
            PanAndScan(job, geometry, output);
            output.FrameSize = targetSize;
            if (!discAspect) {
                output.FrameAspectRatio = targetAspect;
            }
        }

        // Filters the source needs before the fitting: a cover stands for the whole sound;
        // HDR pictures are tone-mapped for the 8-bit outputs.
        std::string sourceFilters;
        if (source.CoverOnly) {
            double stillRate = 0;
            if (!IsNumber(output.FrameRate, stillRate) || stillRate <= 0) {
                output.FrameRate = "25";
                stillRate = 25;
            }
            const std::int64_t length =
                output.RecordingTime > 0 && output.RecordingTime != NoTimestamp
                    ? output.RecordingTime
                    : source.Duration - std::max<std::int64_t>(0, job.TrimStart);
            sourceFilters = StillPictureFilters(length, stillRate);
        }
        if (source.HighDynamicRange &&
            TOutputPixelFormat::WantsEightBit420(output.VideoCodec.empty() ? videoCodec
                                                                           : output.VideoCodec)) {
            sourceFilters += (sourceFilters.empty() ? "" : ",") + std::string(ToneMapFilters);
        }
        if (!sourceFilters.empty()) {
            filters = filters.empty() ? sourceFilters : sourceFilters + "," + filters;
        }
        if (source.Interlaced) {
            AppendOptionLine(output.ExtOptions, "deinterlace=1");
        }

        // NTSC DV is 4:1:1; a 4:2:0 source would find no DV profile.
        if (output.VideoCodec == "dvvideo" && tw == 720 && th == 480) {
            AppendOptionLine(output.ExtOptions, "pix_fmt=yuv411p");
        }
        // Deep or 4:2:2 sources would otherwise give pictures the format's players cannot decode.
        const std::string pixelFormat = TOutputPixelFormat::For(
            output.VideoCodec.empty() ? videoCodec : output.VideoCodec, source.BitDepth);
        if (!pixelFormat.empty()) {
            AppendOptionLine(output.ExtOptions, "pix_fmt=" + pixelFormat);
        }
        if (output.VideoCodec == "libx264") {
            AppendOptionLine(output.ExtOptions, H264ProfileAndLevel(formatWord, tw, th));
        }
    }

    if (!filters.empty()) {
        output.VideoFilters =
            output.VideoFilters.empty() ? filters : output.VideoFilters + "," + filters;
    }

    VideoFormatAudio(profile, output);
    KeepMono(catalog, profile, source, output);
    return notice;
}

std::string StillPictureFilters(std::int64_t microseconds, double frameRate) {
    if (microseconds <= 0 || frameRate <= 0) {
        return {};
    }
    const long long frames = static_cast<long long>(std::ceil(microseconds / 1e6 * frameRate));
    const std::string rate = ::Format("%.6g", frameRate);
    return "loop=loop=" + Decimal(std::max(0LL, frames - 1)) + ":size=1,setpts=N/(" + rate + "*TB)";
}
