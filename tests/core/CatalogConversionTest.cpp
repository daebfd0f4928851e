// Every format of the shipped catalog, with its default choices (no profile: the catalog
// defaults) and with every other encoder of its lists stored as the settings dialog stores a
// profile. The options built for each are checked against the encoders of this platform; one
// conversion through vantre-convert per distinct container, encoders and frame size shows with
// ffprobe that the output holds what the option building promised.
#include "CatalogFile.h"
#include "FormatCatalog.h"
#include "FormatProfile.h"
#include "LibraryFunctions.h"
#include "MediaUtils.h"
#include "TaskOptionsBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

using testing_support::RunCommand;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

const std::string CatalogPath = std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini";
constexpr int ClipWidth = 320;
constexpr int ClipHeight = 240;
constexpr int Shards = 4;

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
        {"flv", "flv1"},     {"libmp3lame", "mp3"}, {"libvorbis", "vorbis"},
        {"libx265", "hevc"}, {"libsvtav1", "av1"},  {"libvpx-vp9", "vp9"},
        {"libopus", "opus"}};
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

// The size the output gets: H.263 codes only a few sizes, the next one up by width is taken.
TSize ExpectedSize(const TProfileChoices& choices, const TOutputOptions& output) {
    if (choices.VideoSize.Text == "as source") {
        return {ClipWidth, ClipHeight};
    }
    TSize size = ParseSize(choices.VideoSize.Text);
    if (output.VideoCodec == "h263" && size.Width * 9 != size.Height * 11) {
        size = size.Width <= 128   ? TSize{128, 96}
               : size.Width <= 176 ? TSize{176, 144}
               : size.Width <= 352 ? TSize{352, 288}
                                   : TSize{704, 576};
    }
    return size;
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

// One INI section written plainly (the settings store's safe replacement syncs the disk, too
// slow for hundreds of scratch files).
void WriteSection(const std::string& path, const std::string& section,
                  const TIniFile::TValues& values) {
    // A key given twice keeps its last value, as in the settings store.
    TIniFile::TValues unique;
    for (const auto& [key, value] : values) {
        const auto same = std::find_if(unique.begin(), unique.end(), [&](const auto& entry) {
            return SameText(entry.first, key);
        });
        if (same != unique.end()) {
            same->second = value;
        } else {
            unique.emplace_back(key, value);
        }
    }
    std::ofstream out(path, std::ios::trunc);
    out << "[" << section << "]\n";
    for (const auto& [key, value] : unique) {
        out << key << "=" << value << "\n";
    }
}

// One format with one set of choices, and the options vantre-convert will build for it.
struct TCase {
    int Code = 0;
    std::string Label;
    bool Stored = false; // an alternative encoder, stored as a profile
    TProfileChoices Choices;
    TOutputOptions Output;
    // What decides the path through the engine: container, encoders and frame size.
    std::string Key;
};

// The cases, built once per test program. Option building reads the catalog for each choice:
// a catalog holding only the format's section keeps that quick.
class TCatalogCases {
public:
    static const TCatalogCases& Instance() {
        static const TCatalogCases cases;
        return cases;
    }
    const std::vector<TCase>& All() const { return cases_; }
    // One case per distinct key, in key order.
    std::vector<const TCase*> Representatives() const {
        std::map<std::string, const TCase*> byKey;
        for (const TCase& c : cases_) {
            byKey.emplace(c.Key, &c);
        }
        std::vector<const TCase*> result;
        for (const auto& [key, c] : byKey) {
            result.push_back(c);
        }
        return result;
    }

private:
    TCatalogCases() {
        const TCatalogFile catalog(CatalogPath);
        const TIniFile::TContent content = TIniFile(CatalogPath).ReadAll();
        for (const int code : TFormatCatalog::AllCodes()) {
            const std::string section = TFormatCatalog::SectionName(code);
            const std::string miniCatalog = dir_.File(section + ".ini");
            for (const auto& [name, values] : content) {
                if (SameText(name, section)) {
                    WriteSection(miniCatalog, name, values);
                }
            }
            const TCatalogFile sectionCatalog(miniCatalog);
            const TProfileChoices defaults = TFormatProfile::CatalogDefaults(sectionCatalog, code);
            Add(code, defaults, false, miniCatalog);
            for (const bool video : {true, false}) {
                const auto& keys = video ? catalogkey::VideoEncoder : catalogkey::AudioEncoder;
                const TChoiceList list = sectionCatalog.List(code, keys);
                for (int i = 0; i < static_cast<int>(list.Items.size()); ++i) {
                    if (i == sectionCatalog.DefaultIndex(code, keys)) {
                        continue;
                    }
                    TProfileChoices choices = defaults;
                    (video ? choices.VideoEncoder : choices.AudioEncoder) = {i, list.Items[i]};
                    choices.ZoomIndex = 1;
                    Add(code, choices, true, miniCatalog);
                }
            }
        }
    }

    void Add(int code, const TProfileChoices& choices, bool stored, const std::string& catalog) {
        TCase c;
        c.Code = code;
        c.Stored = stored;
        c.Choices = choices;
        c.Label = TFormatCatalog::EntryText(code) + " [" + choices.VideoEncoder.Text + " / " +
                  choices.AudioEncoder.Text + "]";
        const std::string settingsFile = dir_.File("settings" + std::to_string(cases_.size()));
        if (stored) {
            WriteSection(settingsFile, TFormatCatalog::SectionName(code),
                         TFormatProfile::Values(TCatalogFile(catalog), code, choices));
        }
        TlvFilesRecord job;
        job.SourceFile = "clip.mkv";
        job.ZoomMode = "lbox";
        TInputOptions input;
        const TSourceFacts source{1, ClipWidth, ClipHeight, 1000000};
        BuildTaskOptions(job, code, c.Output, source, input, {settingsFile, catalog},
                         [](const std::string&, const std::string&) { return true; });
        const TCatalogFile catalogFile(catalog);
        c.Key = LowerCase(catalogFile.Format(code)) + "|" + catalogFile.FileExt(code) + "|" +
                (c.Output.VideoDisable ? "-" : c.Output.VideoCodec) + "|" + c.Output.AudioCodec +
                "|" + choices.VideoSize.Text + "|" + std::to_string(c.Output.Target);
        cases_.push_back(std::move(c));
    }

    TempDir dir_;
    std::vector<TCase> cases_;
};

// The source of every conversion, made once for all test processes of a build: written under
// a temporary name and renamed, so a process never sees half a clip.
std::string SourceClip() {
    const std::string clip = std::string(CLIP_FOLDER) + "/catalog-source-clip.mkv";
    if (!std::filesystem::exists(clip)) {
        const std::string part = clip + ".part-" + std::to_string(::getpid()) + ".mkv";
        testing_support::MakeClip(part, 1, ClipWidth, ClipHeight, 25, 48000,
                                  "-ac 2 -c:v mpeg4 -q:v 4 -c:a pcm_s16le");
        std::filesystem::rename(part, clip);
    }
    return clip;
}

// Converts the clip with vantre-convert in a home of its own and checks the output.
void ConvertAndCheck(const TCase& c) {
    TempDir dir;
    const std::string clip = SourceClip();
    if (c.Stored) {
        std::filesystem::create_directories(dir.File("data/vantre"));
        TIniFile settings(dir.File("data/vantre/vantremp4videoconverter.ini"));
        TFormatProfile::Store(settings, TCatalogFile(CatalogPath), c.Code, c.Choices);
    }
    const std::string output =
        dir.File("out/catalog-source-clip_(new)." + TCatalogFile(CatalogPath).FileExt(c.Code));
    const auto result = RunCommand(
        "env HOME=" + ShellQuote(dir.Path()) + " XDG_DATA_HOME=" + ShellQuote(dir.File("data")) +
        " " + ShellQuote(VANTRE_CONVERT) + " --format " + std::to_string(c.Code) + " --out " +
        ShellQuote(dir.File("out")) + " " + ShellQuote(clip));
    ASSERT_EQ(result.exitCode, 0) << c.Label << "\n" << result.output;
    ASSERT_TRUE(std::filesystem::exists(output)) << c.Label << "\n" << result.output;

    const auto streams = ProbeStreams(output);
    auto video = FirstStream(streams, "video");
    auto audio = FirstStream(streams, "audio");
    if (c.Output.VideoDisable) {
        EXPECT_TRUE(video.empty()) << c.Label;
    } else {
        const TSize size = ExpectedSize(c.Choices, c.Output);
        EXPECT_EQ(video["width"], std::to_string(size.Width)) << c.Label;
        EXPECT_EQ(video["height"], std::to_string(size.Height)) << c.Label;
        if (!c.Output.VideoCodec.empty()) {
            EXPECT_EQ(video["codec_name"], StreamCodec(EncoderFor(c.Output.VideoCodec))) << c.Label;
        }
    }
    ASSERT_FALSE(c.Output.AudioDisable) << c.Label;
    EXPECT_EQ(audio["codec_name"], StreamCodec(EncoderFor(c.Output.AudioCodec))) << c.Label;
    // "as source": the clip's 48000 Hz stereo.
    EXPECT_EQ(audio["sample_rate"],
              std::to_string(c.Output.AudioSampleRate > 0 ? c.Output.AudioSampleRate : 48000))
        << c.Label;
    EXPECT_EQ(audio["channels"],
              std::to_string(c.Output.AudioChannels > 0 ? c.Output.AudioChannels : 2))
        << c.Label;
}

class CatalogConversions : public ::testing::TestWithParam<int> {};

} // namespace

// What the engine would otherwise change silently (the closest sample rate, a channel layout
// the encoder offers) is checked for every case without converting.
TEST(CatalogOptions, EveryChoiceSuitsTheEncodersOfThisPlatform) {
    testing_support::RequireEncoderLibraries();
    for (const TCase& c : TCatalogCases::Instance().All()) {
        SCOPED_TRACE(c.Label);
        ASSERT_FALSE(c.Output.AudioDisable);
        const AVCodec* audio =
            fn::avcodec_find_encoder_by_name(EncoderFor(c.Output.AudioCodec).c_str());
        ASSERT_NE(audio, nullptr) << c.Output.AudioCodec;
        EXPECT_EQ(audio->type, AVMEDIA_TYPE_AUDIO);
        if (audio->supported_samplerates != nullptr && c.Output.AudioSampleRate > 0) {
            bool listed = false;
            for (const int* rate = audio->supported_samplerates; *rate != 0; ++rate) {
                listed = listed || *rate == c.Output.AudioSampleRate;
            }
            EXPECT_TRUE(listed) << c.Output.AudioSampleRate << " Hz for " << audio->name;
        }
        if (audio->ch_layouts != nullptr && c.Output.AudioChannels > 0) {
            bool listed = false;
            for (const AVChannelLayout* layout = audio->ch_layouts; layout->nb_channels != 0;
                 ++layout) {
                listed = listed || layout->nb_channels == c.Output.AudioChannels;
            }
            EXPECT_TRUE(listed) << c.Output.AudioChannels << " channels for " << audio->name;
        }
        if (c.Output.VideoDisable || c.Output.VideoCodec.empty()) {
            continue;
        }
        const AVCodec* video =
            fn::avcodec_find_encoder_by_name(EncoderFor(c.Output.VideoCodec).c_str());
        ASSERT_NE(video, nullptr) << c.Output.VideoCodec;
        EXPECT_EQ(video->type, AVMEDIA_TYPE_VIDEO);
        const TSize size = ExpectedSize(c.Choices, c.Output);
        EXPECT_TRUE(size.Width > 0 && size.Height > 0) << c.Choices.VideoSize.Text;
    }
    // Each distinct path through the engine is converted by one of the shards below.
    EXPECT_LT(TCatalogCases::Instance().Representatives().size(),
              TCatalogCases::Instance().All().size());
}

TEST_P(CatalogConversions, OnePerContainerEncodersAndSize) {
    const auto representatives = TCatalogCases::Instance().Representatives();
    for (size_t i = GetParam(); i < representatives.size(); i += Shards) {
        ConvertAndCheck(*representatives[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Shards, CatalogConversions, ::testing::Range(0, Shards));
