// Checks the shipped format catalog against the rules every section must follow.
#include "CatalogFile.h"
#include "DisplayNames.h"
#include "FormatCatalog.h"
#include "MediaUtils.h"
#include "QualityLevels.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

using namespace catalogkey;

namespace {

const std::string CatalogPath = std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini";

// Encoders of this platform's libavcodec (the engine's aliases included: libfaac and the
// experimental native vorbis are served by aac and libvorbis).
const std::set<std::string> VideoEncoders = {
    "libx264", "mpeg4",   "libxvid",  "msmpeg4v2", "msmpeg4",    "wmv1",
    "wmv2",    "flv",     "h263",     "h263p",     "mpeg1video", "mpeg2video",
    "dvvideo", "huffyuv", "ljpeg",    "mjpeg",     "rv10",       "rv20",
    "svq1",    "zlib",    "rawvideo", "libx265",   "libsvtav1",  "libvpx-vp9"};
const std::set<std::string> AudioEncoders = {
    "libmp3lame",   "libfaac",   "vorbis",        "mp2",      "ac3",       "flac",
    "alac",         "libgsm",    "wmav1",         "wmav2",    "adpcm_swf", "adpcm_yamaha",
    "adpcm_ima_qt", "adpcm_ms",  "adpcm_ima_wav", "pcm_s8",   "pcm_s16be", "pcm_s24be",
    "pcm_s32be",    "pcm_f32be", "pcm_f64be",     "pcm_alaw", "pcm_mulaw", "pcm_s16le",
    "pcm_u16le",    "libopus"};
// Container words usable as a video encoder: the container's default encoder is used, so the
// output must be that container.
const std::map<std::string, std::string> ContainerEncoders = {
    {"mov", "mov"}, {"3gp", "3gp"}, {"3g2", "3g2"}, {"flv", "flv"}, {"swf", "swf"}};
// Format words and the extensions they may go with ("null": the extension decides).
const std::map<std::string, std::set<std::string>> FormatWords = {{"null", {}},
                                                                  {"ipod", {"mp4", "m4a"}},
                                                                  {"psp", {"mp4"}},
                                                                  {"ps3", {"mp4"}},
                                                                  {"3gp", {"3gp"}},
                                                                  {"3g2", {"3gp", "3g2"}},
                                                                  {"avi", {"avi"}},
                                                                  {"mov", {"mov"}},
                                                                  {"flv", {"flv"}},
                                                                  {"mpegts", {"ts"}},
                                                                  {"vob", {"vob", "mpg"}},
                                                                  {"vcd", {"mpg"}},
                                                                  {"ntsc-dvd", {"mpg", "vob"}},
                                                                  {"pal-dvd", {"mpg", "vob"}},
                                                                  {"ntsc-vcd", {"mpg"}},
                                                                  {"pal-vcd", {"mpg"}},
                                                                  {"ntsc-svcd", {"mpg"}},
                                                                  {"pal-svcd", {"mpg"}},
                                                                  {"mp4", {"mp4"}},
                                                                  {"matroska", {"mkv"}},
                                                                  {"webm", {"webm"}}};
const std::set<std::string> Channels = {"as source", "mono 1 channel", "stereo 2 channels"};
const std::set<std::string> Volumes = {"25%",  "50%",  "75%",  "100%", "125%", "150%",
                                       "175%", "200%", "250%", "300%", "350%", "400%"};
const std::set<std::string> H263Sizes = {"128x96", "176x144", "352x288", "704x576"};
const std::set<std::string> MpegFrameRates = {"23.976", "24", "25",    "29.97",
                                              "30",     "50", "59.94", "60"};

bool PositiveNumber(const std::string& text) {
    double value = 0;
    return TryStrToFloat(text, value) && value > 0;
}

bool PositiveInteger(const std::string& text) {
    int value = 0;
    return TryStrToInt(text, value) && value > 0;
}

bool EvenSize(const std::string& text) {
    const size_t x = text.find('x');
    int w = 0;
    int h = 0;
    return x != std::string::npos && TryStrToInt(text.substr(0, x), w) &&
           TryStrToInt(text.substr(x + 1), h) && w > 0 && h > 0 && w % 2 == 0 && h % 2 == 0;
}

// One section of the catalog, read through a catalog holding only that section (the checks
// read every list; the whole file would be parsed again for each).
struct TSection {
    int code;
    std::string entry;
    std::string section;
    std::string file;

    TCatalogFile Catalog() const { return TCatalogFile(file); }
    std::vector<std::string> Items(const TParameterKeys& parameter) const {
        return Catalog().List(code, parameter).Items;
    }
};

// Every section of the shipped catalog, written once per test program.
const std::vector<TSection>& Sections() {
    static const testing_support::TempDir dir;
    static const std::vector<TSection> sections = [] {
        std::vector<TSection> result;
        const TIniFile::TContent content = TIniFile(CatalogPath).ReadAll();
        for (const int code : TFormatCatalog::AllCodes()) {
            TSection s{code, TFormatCatalog::EntryText(code), TFormatCatalog::SectionName(code),
                       dir.File(TFormatCatalog::SectionName(code) + ".ini")};
            std::ofstream out(s.file);
            for (const auto& [name, values] : content) {
                if (name == s.section) {
                    out << "[" << name << "]\n";
                    for (const auto& [key, value] : values) {
                        out << key << "=" << value << "\n";
                    }
                }
            }
            result.push_back(s);
        }
        return result;
    }();
    return sections;
}

} // namespace

TEST(CatalogLint, HoldsExactlyTheCatalogsSections) {
    const TIniFile ini(CatalogPath);
    std::vector<std::string> expected = {"catalog"};
    for (const int code : TFormatCatalog::AllCodes()) {
        expected.push_back(TFormatCatalog::SectionName(code));
    }
    EXPECT_EQ(ini.Sections(), expected);
}

void CheckKeysAndLists(const TSection& s) {
    const TCatalogFile catalog = s.Catalog();
    const int code = s.code;
    const std::string& entry = s.entry;
    const std::string& section = s.section;
    const auto Items = [&](const TParameterKeys& parameter) { return s.Items(parameter); };
    const TIniFile ini(s.file);
    ASSERT_TRUE(ini.SectionExists(section)) << entry;
    ASSERT_TRUE(ini.ValueExists(section, catalogkey::Format)) << entry;
    ASSERT_TRUE(ini.ValueExists(section, FileExt)) << entry;
    EXPECT_EQ(catalog.FileExt(code), TFormatCatalog::EntryExtension(entry)) << entry;

    const std::string word = LowerCase(catalog.Format(code));
    ASSERT_EQ(FormatWords.count(word), 1u) << entry << ": Format " << word;
    if (word != "null") {
        EXPECT_EQ(FormatWords.at(word).count(catalog.FileExt(code)), 1u)
            << entry << ": " << word << " does not write ." << catalog.FileExt(code);
    }

    for (const TParameterKeys& parameter : Parameters) {
        ASSERT_TRUE(ini.ValueExists(section, parameter.List)) << entry << " " << parameter.List;
        ASSERT_TRUE(ini.ValueExists(section, parameter.Index)) << entry << " " << parameter.Index;
        const std::string text = catalog.ListText(code, parameter);
        const TChoiceList list = catalog.List(code, parameter);
        const int index = catalog.DefaultIndex(code, parameter);
        if (text == Null) {
            EXPECT_EQ(index, 0) << entry << " " << parameter.Index;
            continue;
        }
        ASSERT_FALSE(list.Items.empty()) << entry << " " << parameter.List << ": use null";
        EXPECT_TRUE(std::none_of(list.Items.begin(), list.Items.end(),
                                 [](const std::string& item) { return item.empty(); }))
            << entry << " " << parameter.List << " has an empty item";
        EXPECT_GE(index, 0) << entry << " " << parameter.Index;
        EXPECT_LT(index, static_cast<int>(list.Items.size())) << entry << " " << parameter.Index;
        // Today's formats keep the source's size and rate unless told otherwise.
        if (code / 100 < 25) {
            EXPECT_NE(list.Items[std::clamp(index, 0, static_cast<int>(list.Items.size()) - 1)],
                      "as source")
                << entry << ": a default must be a real value";
        }
    }

    for (const std::string& size : Items(VideoSize)) {
        EXPECT_TRUE(size == "as source" || EvenSize(size)) << entry << " size " << size;
    }
    for (const std::string& rate : Items(VideoBitRate)) {
        EXPECT_TRUE(rate == "as source" || PositiveInteger(rate) ||
                    TQualityLevels::LevelName(rate) == rate)
            << entry << " " << rate;
    }
    if (code / 100 >= 25 && !Items(VideoBitRate).empty()) {
        const std::string chosen = Items(VideoBitRate).at(catalog.DefaultIndex(code, VideoBitRate));
        EXPECT_TRUE(TQualityLevels::LevelName(chosen)) << entry << ": defaults to a quality level";
    }
    for (const std::string& rate : Items(FrameRate)) {
        EXPECT_TRUE(rate == "as source" || PositiveNumber(rate)) << entry << " fps " << rate;
    }
    for (const std::string& rate : Items(AudioBitRate)) {
        EXPECT_TRUE(rate == "as source" || PositiveNumber(rate)) << entry << " " << rate;
    }
    for (const std::string& rate : Items(SampleRate)) {
        EXPECT_TRUE(rate == "as source" || PositiveInteger(rate)) << entry << " Hz " << rate;
    }
    for (const std::string& channel : Items(Channel)) {
        EXPECT_EQ(Channels.count(channel), 1u) << entry << " " << channel;
    }
    for (const std::string& volume : Items(Volume)) {
        EXPECT_EQ(Volumes.count(volume), 1u) << entry << " " << volume;
    }
    EXPECT_FALSE(Items(AudioEncoder).empty()) << entry << ": every format has sound";
    EXPECT_FALSE(Items(Volume).empty()) << entry;
}

void CheckEncodersExistOnThisPlatform(const TSection& s) {
    const TCatalogFile catalog = s.Catalog();
    const int code = s.code;
    const std::string& entry = s.entry;
    const auto Items = [&](const TParameterKeys& parameter) { return s.Items(parameter); };
    const std::string extension = catalog.FileExt(code);
    const std::string word = LowerCase(catalog.Format(code));
    for (const std::string& name : Items(VideoEncoder)) {
        const auto stored = TDisplayNames::VideoEncoder(name);
        ASSERT_TRUE(stored.has_value()) << entry << ": unknown video encoder " << name;
        if (const auto container = ContainerEncoders.find(*stored);
            container != ContainerEncoders.end()) {
            EXPECT_TRUE(word == container->second ||
                        (word == "null" && extension == container->second))
                << entry << ": " << name << " leaves the codec to a container it does not write";
        } else {
            EXPECT_EQ(VideoEncoders.count(*stored), 1u) << entry << ": no encoder " << *stored;
        }
    }
    for (const std::string& name : Items(AudioEncoder)) {
        const auto stored = TDisplayNames::AudioEncoder(name);
        ASSERT_TRUE(stored.has_value()) << entry << ": unknown audio encoder " << name;
        EXPECT_EQ(AudioEncoders.count(*stored), 1u) << entry << ": no encoder " << *stored;
        if (*stored == "libgsm") {
            EXPECT_EQ(Items(SampleRate), std::vector<std::string>{"8000"}) << entry;
        }
    }
}

void CheckListsFitTheEncoders(const TSection& s) {
    const TCatalogFile catalog = s.Catalog();
    const int code = s.code;
    const std::string& entry = s.entry;
    const auto Items = [&](const TParameterKeys& parameter) { return s.Items(parameter); };
    const std::vector<std::string> video = Items(VideoEncoder);
    if (code / 100 == 24 || code / 100 == 26) {
        EXPECT_EQ(catalog.ListText(code, VideoEncoder), Null) << entry;
        EXPECT_EQ(catalog.ListText(code, VideoSize), Null) << entry;
        EXPECT_EQ(catalog.ListText(code, VideoBitRate), Null) << entry;
        EXPECT_EQ(catalog.ListText(code, FrameRate), Null) << entry;
        return;
    }
    ASSERT_FALSE(video.empty()) << entry << ": a video format needs a video encoder";
    const std::string word = LowerCase(catalog.Format(code));
    const auto has = [&](const char* name) {
        return std::find(video.begin(), video.end(), name) != video.end();
    };
    const std::string defaultVideo = LowerCase(video.at(catalog.DefaultIndex(code, VideoEncoder)));
    if (defaultVideo == "h263" || defaultVideo == "3gp" || defaultVideo == "3g2") {
        // H.263 (also the 3GP containers' default) codes only a few sizes.
        for (const std::string& size : Items(VideoSize)) {
            EXPECT_EQ(H263Sizes.count(size), 1u) << entry << " " << size;
        }
    }
    if (has("mpeg1video") || has("mpeg2video") || has("dvvideo")) {
        for (const std::string& rate : Items(FrameRate)) {
            EXPECT_EQ(MpegFrameRates.count(rate), 1u) << entry << " fps " << rate;
        }
    }
    if (has("dvvideo")) {
        const std::string size = Items(VideoSize).at(catalog.DefaultIndex(code, VideoSize));
        const std::string rate = Items(FrameRate).at(catalog.DefaultIndex(code, FrameRate));
        EXPECT_TRUE((size == "720x480" && rate == "29.97") || (size == "720x576" && rate == "25"))
            << entry;
        EXPECT_EQ(Items(SampleRate).at(catalog.DefaultIndex(code, SampleRate)), "48000") << entry;
        EXPECT_EQ(Items(Channel), std::vector<std::string>{"stereo 2 channels"}) << entry;
    }
    const std::string extension = catalog.FileExt(code);
    if (word == "flv" || extension == "flv" || extension == "swf") {
        // FLV and SWF carry MP3 at 11025, 22050 and 44100 Hz only.
        for (const std::string& rate : Items(SampleRate)) {
            EXPECT_TRUE(rate == "11025" || rate == "22050" || rate == "44100")
                << entry << " " << rate;
        }
    }
}

// Each check over every section; a failure names the section's entry.
TEST(CatalogLint, KeysAndLists) {
    for (const TSection& s : Sections()) {
        SCOPED_TRACE(s.section);
        CheckKeysAndLists(s);
    }
}

TEST(CatalogLint, EncodersExistOnThisPlatform) {
    for (const TSection& s : Sections()) {
        SCOPED_TRACE(s.section);
        CheckEncodersExistOnThisPlatform(s);
    }
}

TEST(CatalogLint, ListsFitTheEncoders) {
    for (const TSection& s : Sections()) {
        SCOPED_TRACE(s.section);
        CheckListsFitTheEncoders(s);
    }
}
