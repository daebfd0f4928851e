// Converts a test clip with every format's default choices of the shipped catalog. The option
// records come from the real option building (a format without profile converts with its
// catalog defaults); they are handed to the ffmpeg tool the way the engine applies them: the
// disc target first, then the preset, then the record's fields; the crop, the scaling to the
// frame size and the record's filter chain, in this order, form the picture path.
#include "CatalogFile.h"
#include "FormatCatalog.h"
#include "FormatProfile.h"
#include "MediaUtils.h"
#include "TaskOptionsBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <numeric>
#include <sstream>
#include <unistd.h>

using testing_support::RunCommand;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

const std::string CatalogPath = std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini";
constexpr int ClipWidth = 640;
constexpr int ClipHeight = 360;

// The engine serves these names with another encoder: libfaac and AMR are absent, and the
// native vorbis encoder is experimental and refuses to open without being asked to.
std::string EncoderFor(const std::string& name) {
    static const std::map<std::string, std::string> aliases = {
        {"libfaac", "aac"},           {"libflac", "flac"},  {"vorbis", "libvorbis"},
        {"libopencore_amrnb", "aac"}, {"libamr_nb", "aac"}, {"msmpeg4v1", "msmpeg4v2"}};
    const auto alias = aliases.find(name);
    return alias == aliases.end() ? name : alias->second;
}

// The name ffprobe reports for what an encoder writes.
std::string StreamCodec(const std::string& encoder) {
    static const std::map<std::string, std::string> names = {
        {"libx264", "h264"}, {"libxvid", "mpeg4"},  {"msmpeg4", "msmpeg4v3"},
        {"flv", "flv1"},     {"libmp3lame", "mp3"}, {"libvorbis", "vorbis"}};
    const auto name = names.find(encoder);
    return name == names.end() ? encoder : name->second;
}

// The lines of the engine's built-in H.264 presets that shape what the encoder accepts.
std::string PresetArguments(const std::string& preset) {
    static const std::map<std::string, std::string> presets = {
        {"libx264-ipod", "-coder 0 -level 30 -refs 1 -maxrate 1250000 -bufsize 4000000"},
        {"libx264-psp", "-coder 1 -level 30 -refs 1 -bf 3 -maxrate 1500000 -bufsize 4000000"},
        {"libx264-ps3", "-coder 1 -level 30 -refs 1 -bf 3 -maxrate 3500000 -bufsize 4000000"},
        {"libx264-mp4", "-coder 1 -level 30 -refs 1 -bf 3 -maxrate 1500000 -bufsize 4000000"}};
    const auto found = presets.find(preset);
    return found == presets.end() ? std::string() : found->second;
}

struct TSize {
    int Width = 0;
    int Height = 0;
};

TSize ParseSize(const std::string& text) {
    const size_t x = text.find('x');
    return {std::stoi(text.substr(0, x)), std::stoi(text.substr(x + 1))};
}

std::string FfmpegArguments(const TOutputOptions& o, const TInputOptions& in,
                            const std::string& source, std::string& failure) {
    std::ostringstream a;
    a << "-i " << ShellQuote(source);
    TSize size{ClipWidth - std::max(o.CropLeft, 0) - std::max(o.CropRight, 0),
               ClipHeight - std::max(o.CropTop, 0) - std::max(o.CropBottom, 0)};
    bool scale = false;
    std::string aspect = o.FrameAspectRatio;
    if (o.Target == 3) {
        // The clip runs at 25 frames per second: PAL unless the norm is given.
        const bool ntsc = o.TargetNorm == 2;
        a << " -f dvd -c:v mpeg2video -c:a ac3 -g " << (ntsc ? 18 : 15)
          << " -b:v 6000000 -maxrate 9000000 -minrate 0 -bufsize 1835008 -b:a 448000 -ar 48000"
          << " -packetsize 2048 -muxrate 10080000 -r " << (ntsc ? "30000/1001" : "25");
        size = ntsc ? TSize{720, 480} : TSize{720, 576};
        scale = true;
        if (aspect.empty()) {
            aspect = "16:9";
        }
    } else if (o.Target != 0) {
        failure = "target " + std::to_string(o.Target) + " is not emulated";
    }
    if (!o.FileFormat.empty()) {
        a << " -f " << o.FileFormat;
    }
    if (!o.VideoCodec.empty()) {
        a << " -c:v " << EncoderFor(o.VideoCodec);
    }
    a << " " << PresetArguments(o.VideoPreset);
    if (!o.AudioCodec.empty()) {
        a << " -c:a " << EncoderFor(o.AudioCodec);
    }
    if (o.VideoDisable || in.ExtOptions == "vn=1") {
        a << " -vn";
    } else {
        if (o.VideoBitrate > 0) {
            a << " -b:v " << o.VideoBitrate;
        }
        if (!o.FrameRate.empty()) {
            a << " -r " << o.FrameRate;
        }
        std::vector<std::string> filters;
        if (o.CropTop > 0 || o.CropBottom > 0 || o.CropLeft > 0 || o.CropRight > 0) {
            filters.push_back(Format("crop=w=%d:h=%d:x=%d:y=%d", size.Width, size.Height,
                                     std::max(o.CropLeft, 0), std::max(o.CropTop, 0)));
        }
        if (!o.FrameSize.empty()) {
            size = ParseSize(o.FrameSize);
            scale = true;
        }
        if (scale) {
            filters.push_back(Format("scale=%d:%d", size.Width, size.Height));
        }
        if (!o.VideoFilters.empty()) {
            filters.push_back(o.VideoFilters);
        }
        if (!aspect.empty()) {
            // The aspect describes the picture at the frame size, before any padding.
            const size_t colon = aspect.find(':');
            const long long num = std::stoll(aspect.substr(0, colon)) * size.Height;
            const long long den = std::stoll(aspect.substr(colon + 1)) * size.Width;
            const long long g = std::gcd(num, den);
            filters.push_back(Format("setsar=%lld/%lld", num / g, den / g));
        }
        if (!filters.empty()) {
            std::string chain;
            for (const std::string& f : filters) {
                chain += (chain.empty() ? "" : ",") + f;
            }
            a << " -vf " << ShellQuote(chain);
        }
        for (const std::string& line : SplitText(o.ExtOptions, '\n')) {
            if (line.rfind("pix_fmt=", 0) == 0) {
                a << " -pix_fmt " << line.substr(8);
            } else if (!line.empty()) {
                failure = "option line " + line + " is not emulated";
            }
        }
    }
    if (o.AudioDisable) {
        a << " -an";
    } else {
        if (o.AudioChannels > 0) {
            a << " -ac " << o.AudioChannels;
        }
        if (o.AudioSampleRate > 0) {
            a << " -ar " << o.AudioSampleRate;
        }
        if (o.AudioBitrate > 0) {
            a << " -b:a " << o.AudioBitrate;
        }
        if (o.AudioVolume >= 0) {
            a << " -af volume=" << o.AudioVolume / 256.0;
        }
    }
    a << " -sn " << ShellQuote(o.FileName);
    return a.str();
}

// The streams of a file as ffprobe reports them, one field map per stream (each stream once,
// though a transport stream lists its streams again under its program).
std::vector<std::map<std::string, std::string>> ProbeStreams(const std::string& path) {
    const auto result = RunCommand("ffprobe -v error -show_entries "
                                   "stream=index,codec_type,codec_name,width,height,sample_rate,"
                                   "channels -of compact=p=0 " +
                                   ShellQuote(path));
    std::map<std::string, std::map<std::string, std::string>> byIndex;
    for (const std::string& line : SplitText(result.output, '\n')) {
        std::map<std::string, std::string> fields;
        for (const std::string& field : SplitText(line, '|')) {
            const size_t equals = field.find('=');
            if (equals != std::string::npos) {
                fields[field.substr(0, equals)] = field.substr(equals + 1);
            }
        }
        if (fields.count("index") != 0) {
            byIndex.emplace(fields["index"], fields);
        }
    }
    std::vector<std::map<std::string, std::string>> streams;
    for (auto& [index, fields] : byIndex) {
        streams.push_back(std::move(fields));
    }
    return streams;
}

std::map<std::string, std::string>
FirstStream(const std::vector<std::map<std::string, std::string>>& streams,
            const std::string& type) {
    for (const auto& stream : streams) {
        if (stream.at("codec_type") == type) {
            return stream;
        }
    }
    return {};
}

class CatalogDefaults : public ::testing::TestWithParam<int> {};

// The source of every conversion, made once for all test processes of a build: written under
// a temporary name and renamed, so a process never sees half a clip.
std::string SourceClip() {
    const std::string clip = std::string(CLIP_FOLDER) + "/catalog-source-clip.mkv";
    if (!std::filesystem::exists(clip)) {
        const std::string part = clip + ".part-" + std::to_string(::getpid()) + ".mkv";
        testing_support::MakeClip(part, 0.4, ClipWidth, ClipHeight, 25, 48000,
                                  "-ac 2 -c:v mpeg4 -q:v 4 -c:a pcm_s16le");
        std::filesystem::rename(part, clip);
    }
    return clip;
}

// Builds the options of a format from the settings file (none: the catalog defaults),
// converts the clip and checks the output with ffprobe.
void ConvertAndCheck(int code, const TProfileChoices& choices, const TempDir& dir,
                     const std::string& settingsFile) {
    const std::string entry = TFormatCatalog::EntryText(code) + " [" + choices.VideoEncoder.Text +
                              " / " + choices.AudioEncoder.Text + "]";
    const std::string clip = SourceClip();

    const TCatalogFile catalog(CatalogPath);
    TlvFilesRecord job;
    job.SourceFile = clip;
    job.ZoomMode = "lbox";
    TOutputOptions output;
    output.FileName = dir.File("clip_(new)." + catalog.FileExt(code));
    TInputOptions input;
    input.FileName = clip;
    const TSourceFacts source{1, ClipWidth, ClipHeight, 1000000};
    BuildTaskOptions(job, code, output, source, input, {settingsFile, CatalogPath},
                     [&](const std::string& text, const std::string&) {
                         ADD_FAILURE() << entry << " asked: " << text;
                         return true;
                     });

    std::string failure;
    const std::string arguments = FfmpegArguments(output, input, clip, failure);
    ASSERT_TRUE(failure.empty()) << entry << ": " << failure;
    const auto result = RunCommand("ffmpeg -hide_banner -loglevel error -nostdin -y " + arguments);
    ASSERT_EQ(result.exitCode, 0) << entry << "\nffmpeg " << arguments << "\n" << result.output;

    const auto streams = ProbeStreams(output.FileName);
    auto video = FirstStream(streams, "video");
    auto audio = FirstStream(streams, "audio");
    if (output.VideoDisable) {
        EXPECT_TRUE(video.empty()) << entry;
    } else {
        TSize size = ParseSize(choices.VideoSize.Text);
        if (output.VideoCodec == "h263" && size.Width * 9 != size.Height * 11) {
            // Not a size H.263 codes: the next one up by width.
            size = size.Width <= 128   ? TSize{128, 96}
                   : size.Width <= 176 ? TSize{176, 144}
                   : size.Width <= 352 ? TSize{352, 288}
                                       : TSize{704, 576};
        }
        EXPECT_EQ(video["width"], std::to_string(size.Width)) << entry;
        EXPECT_EQ(video["height"], std::to_string(size.Height)) << entry;
        if (!output.VideoCodec.empty()) {
            EXPECT_EQ(video["codec_name"], StreamCodec(EncoderFor(output.VideoCodec))) << entry;
        }
    }
    ASSERT_FALSE(output.AudioDisable) << entry;
    EXPECT_EQ(audio["codec_name"], StreamCodec(EncoderFor(output.AudioCodec))) << entry;
    EXPECT_EQ(audio["sample_rate"], std::to_string(output.AudioSampleRate)) << entry;
    EXPECT_EQ(audio["channels"], std::to_string(output.AudioChannels)) << entry;
}

// One encoder of a format's lists other than the default, with the other defaults.
struct TAlternative {
    int Code;
    bool Video;
    int Index;
};

std::vector<TAlternative> Alternatives() {
    const TCatalogFile catalog(CatalogPath);
    std::vector<TAlternative> alternatives;
    for (const int code : TFormatCatalog::AllCodes()) {
        for (const bool video : {true, false}) {
            const auto& keys = video ? catalogkey::VideoEncoder : catalogkey::AudioEncoder;
            const TChoiceList list = catalog.List(code, keys);
            for (int i = 0; i < static_cast<int>(list.Items.size()); ++i) {
                if (i != catalog.DefaultIndex(code, keys)) {
                    alternatives.push_back({code, video, i});
                }
            }
        }
    }
    return alternatives;
}

class CatalogChoices : public ::testing::TestWithParam<TAlternative> {};

} // namespace

TEST_P(CatalogDefaults, Convert) {
    const int code = GetParam();
    TempDir dir;
    ConvertAndCheck(code, TFormatProfile::CatalogDefaults(TCatalogFile(CatalogPath), code), dir,
                    dir.File("settings.ini"));
}

// The other encoders of every list, stored the way the settings dialog stores a profile.
TEST_P(CatalogChoices, Convert) {
    const TAlternative alternative = GetParam();
    const TCatalogFile catalog(CatalogPath);
    TProfileChoices choices = TFormatProfile::CatalogDefaults(catalog, alternative.Code);
    TProfileChoice& changed = alternative.Video ? choices.VideoEncoder : choices.AudioEncoder;
    const auto& keys = alternative.Video ? catalogkey::VideoEncoder : catalogkey::AudioEncoder;
    changed = {alternative.Index, catalog.List(alternative.Code, keys).Items[alternative.Index]};
    choices.ZoomIndex = 1;
    TempDir dir;
    TIniFile settings(dir.File("settings.ini"));
    TFormatProfile::Store(settings, catalog, alternative.Code, choices);
    ConvertAndCheck(alternative.Code, choices, dir, settings.FileName());
}

INSTANTIATE_TEST_SUITE_P(Sections, CatalogDefaults, ::testing::ValuesIn(TFormatCatalog::AllCodes()),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return TFormatCatalog::SectionName(info.param);
                         });

INSTANTIATE_TEST_SUITE_P(Sections, CatalogChoices, ::testing::ValuesIn(Alternatives()),
                         [](const ::testing::TestParamInfo<TAlternative>& info) {
                             return TFormatCatalog::SectionName(info.param.Code) +
                                    (info.param.Video ? "_video" : "_audio") +
                                    std::to_string(info.param.Index);
                         });
