// Converts a test clip to every format of the shipped catalog through vantre-convert, with
// each format's default choices (no profile: the catalog defaults) and with every other encoder
// of its lists stored as the settings dialog stores a profile, and checks with ffprobe that the
// output holds what the option building promised.
#include "CatalogFile.h"
#include "FormatCatalog.h"
#include "FormatProfile.h"
#include "MediaUtils.h"
#include "TaskOptionsBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <unistd.h>

using testing_support::RunCommand;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

const std::string CatalogPath = std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini";
constexpr int ClipWidth = 320;
constexpr int ClipHeight = 240;

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

struct TSize {
    int Width = 0;
    int Height = 0;
};

TSize ParseSize(const std::string& text) {
    const size_t x = text.find('x');
    return {std::stoi(text.substr(0, x)), std::stoi(text.substr(x + 1))};
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
        testing_support::MakeClip(part, 2, ClipWidth, ClipHeight, 25, 48000,
                                  "-ac 2 -c:v mpeg4 -q:v 4 -c:a pcm_s16le");
        std::filesystem::rename(part, clip);
    }
    return clip;
}

// Builds the options of a format the way vantre-convert will (to know what to expect),
// converts the clip with vantre-convert in a home of its own and checks the output.
void ConvertAndCheck(int code, const TProfileChoices& choices, const TempDir& dir) {
    const std::string entry = TFormatCatalog::EntryText(code) + " [" + choices.VideoEncoder.Text +
                              " / " + choices.AudioEncoder.Text + "]";
    const std::string clip = SourceClip();
    const std::string settingsFile = dir.File("data/vantre/vantremp4videoconverter.ini");

    const TCatalogFile catalog(CatalogPath);
    TlvFilesRecord job;
    job.SourceFile = clip;
    job.ZoomMode = "lbox";
    TOutputOptions output;
    output.FileName = dir.File("out/catalog-source-clip_(new)." + catalog.FileExt(code));
    TInputOptions input;
    input.FileName = clip;
    const TSourceFacts source{1, ClipWidth, ClipHeight, 1000000};
    BuildTaskOptions(job, code, output, source, input, {settingsFile, CatalogPath},
                     [&](const std::string& text, const std::string&) {
                         ADD_FAILURE() << entry << " asked: " << text;
                         return true;
                     });

    const auto result = RunCommand(
        "env HOME=" + ShellQuote(dir.Path()) + " XDG_DATA_HOME=" + ShellQuote(dir.File("data")) +
        " " + ShellQuote(VANTRE_CONVERT) + " --format " + std::to_string(code) + " --out " +
        ShellQuote(dir.File("out")) + " " + ShellQuote(clip));
    ASSERT_EQ(result.exitCode, 0) << entry << "\n" << result.output;
    ASSERT_TRUE(std::filesystem::exists(output.FileName)) << entry << "\n" << result.output;

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
    ConvertAndCheck(code, TFormatProfile::CatalogDefaults(TCatalogFile(CatalogPath), code), dir);
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
    std::filesystem::create_directories(dir.File("data/vantre"));
    TIniFile settings(dir.File("data/vantre/vantremp4videoconverter.ini"));
    TFormatProfile::Store(settings, catalog, alternative.Code, choices);
    ConvertAndCheck(alternative.Code, choices, dir);
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
