#include "TaskOptionsBuilder.h"
#include "CoreTestHelpers.h"
#include "FFmpegException.h"
#include "IniFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using testing_support::TempDir;

namespace {

const TIniFile::TValues WorkedExampleProfile = {
    {"paraVideoEncoder", "libx264"}, {"paraVideoSize", "320x240"},
    {"paraVideoBitRate", "768"},     {"paraFrameRate", "29.97"},
    {"paraAudioEncoder", "libfaac"}, {"paraAudioBitRate", "128"},
    {"paraSampleRate", "44100"},     {"paraChannel", "2"},
    {"paraVolume", "256"},
};

struct BuilderFixture : ::testing::Test {
    TempDir dir;
    TTaskOptionFiles files{dir.File("settings.ini"), dir.File("catalog.ini")};
    TlvFilesRecord job;
    TSourceFacts source{1, 640, 360, 1500000};
    TOutputOptions output;
    TInputOptions input;
    std::vector<std::string> questions;
    bool answer = true;

    void Catalog(int code, const TIniFile::TValues& values) {
        TIniFile(files.CatalogFile).WriteStrings("formatInfo" + std::to_string(code), values);
    }
    void Profile(int code, const TIniFile::TValues& values) {
        TIniFile(files.SettingsFile).WriteStrings("formatInfo" + std::to_string(code), values);
    }
    // As the batch driver prepares the records before asking for the options.
    void Build(int code) {
        InitOutputOptions(output);
        output.FileName = dir.File("out/clip_(new).mp4");
        if (job.Cropped()) {
            output.CropTop = job.CropTop;
            output.CropBottom = job.CropBottom;
            output.CropLeft = job.CropLeft;
            output.CropRight = job.CropRight;
        }
        InitInputOptions(input);
        input.FileName = dir.File("clip.avi");
        BuildTaskOptions(job, code, output, source, input, files,
                         [this](const std::string& text, const std::string& caption) {
                             questions.push_back(caption + "|" + text);
                             return answer;
                         });
    }
    // A video format at frame size size, with everything else as in the worked example.
    void VideoProfile(const std::string& encoder, const std::string& size) {
        TIniFile::TValues values = WorkedExampleProfile;
        values.emplace_back("paraVideoEncoder", encoder);
        values.emplace_back("paraVideoSize", size);
        Profile(1, values);
    }
};

} // namespace

TEST_F(BuilderFixture, WorkedExampleLetterbox) {
    Catalog(1, {{"Format", "ipod"}});
    Profile(1, WorkedExampleProfile);
    job.ZoomMode = "lbox";
    Build(1);
    EXPECT_EQ(output.VideoCodec, "libx264");
    EXPECT_EQ(output.VideoPreset, "libx264-ipod");
    EXPECT_EQ(output.VideoBitrate, 768000);
    EXPECT_EQ(output.FrameRate, "29.97");
    EXPECT_EQ(output.FileFormat, "ipod");
    EXPECT_EQ(output.FrameSize, "320x180");
    EXPECT_EQ(output.FrameAspectRatio, "320:180");
    EXPECT_EQ(output.VideoFilters, "pad=320:240:0:30");
    EXPECT_EQ(output.AudioCodec, "libfaac");
    EXPECT_EQ(output.AudioChannels, 2);
    EXPECT_EQ(output.AudioSampleRate, 44100);
    EXPECT_EQ(output.AudioBitrate, 128000);
    EXPECT_EQ(output.AudioVolume, -1);
    EXPECT_EQ(output.CropTop, 0);
    EXPECT_EQ(output.CropBottom, 0);
    EXPECT_EQ(output.CropLeft, 0);
    EXPECT_EQ(output.CropRight, 0);
    EXPECT_FALSE(output.VideoDisable);
    EXPECT_FALSE(output.AudioDisable);
    EXPECT_EQ(output.Target, 0);
    EXPECT_EQ(output.ExtOptions, "pix_fmt=yuv420p\nbf=0\n8x8dct=0\nweightp=0\nlevel=30");
    EXPECT_EQ(output.FileName, dir.File("out/clip_(new).mp4"));
    EXPECT_EQ(input.ExtOptions, "");
    EXPECT_TRUE(questions.empty());
}

TEST_F(BuilderFixture, WorkedExampleCropped) {
    Catalog(1, {{"Format", "ipod"}});
    Profile(1, WorkedExampleProfile);
    job.ZoomMode = "lbox";
    job.CropTop = job.CropBottom = job.CropLeft = job.CropRight = 8;
    Build(1);
    EXPECT_EQ(output.FrameAspectRatio, "320:180");
    // Named crop arguments: today's crop filter reads positional ones as w:h:x:y.
    EXPECT_EQ(output.VideoFilters, "crop=x=8:y=8:w=624:h=344,scale=320:180,pad=320:240:0:30");
    EXPECT_EQ(output.FrameSize, "");
    EXPECT_EQ(output.CropTop, 8);
    EXPECT_EQ(output.CropBottom, 8);
    EXPECT_EQ(output.CropLeft, 8);
    EXPECT_EQ(output.CropRight, 8);
}

TEST_F(BuilderFixture, LetterboxShapes) {
    job.ZoomMode = "lbox";
    // Same size as the source: no bars.
    VideoProfile("mpeg4", "640x360");
    Build(1);
    EXPECT_EQ(output.FrameSize, "640x360");
    EXPECT_EQ(output.VideoFilters, "pad=640:360:0:0");
    // A 4:3 source into a 16:9 target: bars left and right.
    source = {1, 640, 480, 0};
    VideoProfile("mpeg4", "1280x720");
    Build(1);
    EXPECT_EQ(output.FrameSize, "960x720");
    EXPECT_EQ(output.FrameAspectRatio, "960:720");
    EXPECT_EQ(output.VideoFilters, "pad=1280:720:160:0");
    // Filters already chosen come first.
    TInputOptions in;
    TOutputOptions out;
    out.VideoFilters = "hflip";
    BuildTaskOptions(job, 1, out, source, in, files, nullptr);
    EXPECT_EQ(out.VideoFilters, "hflip,pad=1280:720:160:0");
}

TEST_F(BuilderFixture, H263TakesOnlyItsOwnSizes) {
    job.ZoomMode = "full";
    const std::pair<const char*, const char*> cases[] = {
        {"320x240", "352x288"}, {"176x144", "176x144"},  {"1024x768", "704x576"},
        {"352x288", "352x288"}, {"128x96", "128x96"},    {"160x120", "176x144"},
        {"100x80", "128x96"},   {"as source", "704x576"}};
    for (const auto& [size, expected] : cases) {
        VideoProfile("h263", size);
        Build(1);
        EXPECT_EQ(output.FrameSize, expected) << size;
        EXPECT_EQ(output.FrameAspectRatio, std::string(expected).replace(3, 1, ":")) << size;
    }
    // Other codecs keep any size.
    VideoProfile("h263p", "320x240");
    Build(1);
    EXPECT_EQ(output.FrameSize, "320x240");
}

TEST_F(BuilderFixture, UnusableFrameSizeAsksTheQuestion) {
    job.ZoomMode = "full";
    for (const char* size : {"720x", "x480", "720480", "null"}) {
        for (const bool yes : {true, false}) {
            questions.clear();
            answer = yes;
            VideoProfile("mpeg4", size);
            Build(1);
            ASSERT_EQ(questions.size(), 1u) << size;
            EXPECT_EQ(questions[0],
                      "Warning|Error output Video Size.Use the default size 320x240?");
            EXPECT_EQ(output.FrameSize, yes ? "320x240" : "640x360") << size;
        }
    }
    // A stored profile without a frame size asks too.
    questions.clear();
    Profile(1, {});
    TIniFile(files.SettingsFile).DeleteKey("formatInfo1", "paraVideoSize");
    answer = false;
    Build(1);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(output.FrameSize, "640x360");
}

TEST_F(BuilderFixture, FrameSizeParts) {
    job.ZoomMode = "full";
    const std::pair<const char*, const char*> cases[] = {{"abcx480", "640x480"},
                                                         {"320xabc", "320x360"},
                                                         {"as source", "640x360"},
                                                         {"1280x720x5", "1280x360"}};
    for (const auto& [size, expected] : cases) {
        VideoProfile("mpeg4", size);
        Build(1);
        EXPECT_EQ(output.FrameSize, expected) << size;
    }
    EXPECT_TRUE(questions.empty());
}

TEST_F(BuilderFixture, VideoBitRateAndFrameRate) {
    job.ZoomMode = "full";
    const std::pair<const char*, int> rates[] = {{"0", -1},         {"-5", -1},
                                                 {"2000", 2000000}, {"as source", 1500000},
                                                 {"fast", 1500000}, {"3000000", 2147483647}};
    for (const auto& [rate, expected] : rates) {
        Profile(1, {{"paraVideoEncoder", "mpeg4"},
                    {"paraVideoSize", "320x240"},
                    {"paraVideoBitRate", rate}});
        Build(1);
        EXPECT_EQ(output.VideoBitrate, expected) << rate;
    }
    const std::pair<const char*, const char*> frameRates[] = {
        {"25", "25"}, {"23.976", "23.976"}, {"as source", ""}, {"0", ""}, {"-1", ""}, {"x", ""}};
    for (const auto& [rate, expected] : frameRates) {
        Profile(1, {{"paraFrameRate", rate}});
        Build(1);
        EXPECT_EQ(output.FrameRate, expected) << rate;
    }
}

TEST_F(BuilderFixture, AudioBitRateIsKbitPerSecond) {
    const std::pair<const char*, int> rates[] = {
        {"96.5", 96500}, {"0", -1},       {"as source", -1}, {"", -1},
        {"1.001", 1001}, {"128", 128000}, {"-64", -1}};
    for (const auto& [rate, expected] : rates) {
        VideoProfile("mpeg4", "320x240");
        Profile(1, {{"paraAudioBitRate", rate}});
        Build(1);
        EXPECT_EQ(output.AudioBitrate, expected) << rate;
    }
}

TEST_F(BuilderFixture, PanAndScanCropsTo4By3) {
    job.ZoomMode = "pan";
    VideoProfile("mpeg4", "320x240");
    Build(1);
    EXPECT_EQ(output.CropLeft, 80);
    EXPECT_EQ(output.CropRight, 80);
    EXPECT_EQ(output.CropTop, 0);
    EXPECT_EQ(output.CropBottom, 0);
    EXPECT_EQ(output.FrameSize, "320x240");
    EXPECT_EQ(output.FrameAspectRatio, "320:240");
    EXPECT_EQ(output.VideoFilters, "");

    // Taller than 4:3: top and bottom, made even.
    source = {1, 360, 640, 0};
    Build(1);
    EXPECT_EQ(output.CropTop, 184);
    EXPECT_EQ(output.CropBottom, 184);
    EXPECT_EQ(output.CropLeft, 0);
    EXPECT_EQ(output.CropRight, 0);

    // Already 4:3: nothing to crop.
    source = {1, 640, 480, 0};
    Build(1);
    EXPECT_EQ(output.CropLeft + output.CropRight + output.CropTop + output.CropBottom, 0);

    // The user's own margins are added on their side.
    source = {1, 640, 360, 0};
    job.CropLeft = 10;
    job.CropRight = 20;
    Build(1);
    EXPECT_EQ(output.CropLeft, 74);
    EXPECT_EQ(output.CropRight, 84);
    EXPECT_EQ(output.CropTop, 0);
}

TEST_F(BuilderFixture, FullScreenKeepsTheJobsCrop) {
    job.ZoomMode = "full";
    job.CropTop = 4;
    job.CropLeft = 6;
    VideoProfile("mpeg4", "320x240");
    Build(1);
    EXPECT_EQ(output.CropTop, 4);
    EXPECT_EQ(output.CropLeft, 6);
    EXPECT_EQ(output.CropBottom, 0);
    EXPECT_EQ(output.FrameSize, "320x240");
    EXPECT_EQ(output.VideoFilters, "");
}

TEST_F(BuilderFixture, AsSourceTakesTheCroppedSizeInEveryBoxingMode) {
    VideoProfile("mpeg4", "as source");
    job.CropLeft = 160;
    for (const char* zoom : {"lbox", "center", "full"}) {
        job.ZoomMode = zoom;
        Build(1);
        EXPECT_EQ(output.FrameSize, "480x360") << zoom;
        EXPECT_EQ(output.FrameAspectRatio, "480:360") << zoom;
        EXPECT_EQ(output.CropLeft, 160) << zoom;
        EXPECT_EQ(output.VideoFilters, "") << zoom << ": no stretching, no bars";
    }
    // Odd cropped sizes round down to even ones.
    job.ZoomMode = "lbox";
    job.CropLeft = 3;
    job.CropTop = 5;
    Build(1);
    EXPECT_EQ(output.FrameSize, "636x354");
    // Uncropped, "as source" stays the source's size.
    job.CropLeft = job.CropTop = 0;
    Build(1);
    EXPECT_EQ(output.FrameSize, "640x360");
}

TEST_F(BuilderFixture, AudioOnlyFormat) {
    Catalog(2400, {{"Format", "ipod"}, {"VideoEncoder", "null"}});
    Profile(2400, {{"paraAudioEncoder", "libmp3lame"},
                   {"paraChannel", "1"},
                   {"paraSampleRate", "22050"},
                   {"paraAudioBitRate", "192"},
                   {"paraVolume", "512"},
                   {"paraVideoSize", "320x240"}});
    Build(2400);
    EXPECT_EQ(output.AudioCodec, "libmp3lame");
    EXPECT_EQ(output.AudioChannels, 1);
    EXPECT_EQ(output.AudioSampleRate, 22050);
    EXPECT_EQ(output.AudioBitrate, 192000);
    EXPECT_EQ(output.AudioVolume, 512);
    EXPECT_EQ(input.ExtOptions, "vn=1");
    EXPECT_TRUE(output.VideoDisable);
    EXPECT_TRUE(output.SubtitleDisable);
    EXPECT_EQ(output.FileFormat, "");
    EXPECT_EQ(output.VideoCodec, "");
    EXPECT_EQ(output.FrameSize, "");
    EXPECT_EQ(output.VideoFilters, "");
    EXPECT_EQ(output.CropTop, -1);
    EXPECT_TRUE(questions.empty());

    Profile(2400, {{"paraChannel", "as source"},
                   {"paraSampleRate", "0"},
                   {"paraAudioBitRate", "as source"},
                   {"paraVolume", "256"}});
    Build(2400);
    EXPECT_EQ(output.AudioChannels, -1);
    EXPECT_EQ(output.AudioSampleRate, -1);
    EXPECT_EQ(output.AudioBitrate, -1);
    EXPECT_EQ(output.AudioVolume, -1);
}

TEST_F(BuilderFixture, AudioOnlyFormatWithoutProfileUsesTheCatalog) {
    Catalog(2406, {{"VideoEncoder", "null"},
                   {"AudioEncoder", "ac-3"},
                   {"SampleRate", "32000,44100,48000"},
                   {"iSampleRate", "2"},
                   {"AudioBitRate", "128,192"},
                   {"iAudioBitRate", "1"},
                   {"Channel", "mono 1 channel,stereo 2 channels"},
                   {"iChannel", "1"}});
    Build(2406);
    EXPECT_EQ(output.AudioCodec, "ac3");
    EXPECT_EQ(output.AudioSampleRate, 48000);
    EXPECT_EQ(output.AudioBitrate, 192000);
    EXPECT_EQ(output.AudioChannels, 2);
    EXPECT_EQ(output.AudioVolume, -1) << "no volume list: unchanged";
    EXPECT_TRUE(output.VideoDisable);

    // A format the catalog does not know: the lists offer nothing, so no rate is chosen and
    // the codec and channels take the audio-only defaults.
    Build(2405);
    EXPECT_EQ(output.AudioCodec, "libfaac");
    EXPECT_EQ(output.AudioSampleRate, -1);
    EXPECT_EQ(output.AudioBitrate, -1);
    EXPECT_EQ(output.AudioChannels, 2);
    EXPECT_EQ(output.AudioVolume, -1);
    EXPECT_TRUE(output.VideoDisable);
}

TEST_F(BuilderFixture, VideoFormatWithoutProfileConvertsWithTheCatalogDefaults) {
    Catalog(1, {{"Format", "ipod"},
                {"VideoEncoder", "h264,mpeg-4"},
                {"VideoSize", "320x240,640x480"},
                {"VideoBitRate", "512,768"},
                {"iVideoBitRate", "1"},
                {"FrameRate", "25,29.97"},
                {"iFrameRate", "1"},
                {"AudioEncoder", "aac"},
                {"AudioBitRate", "96,128"},
                {"iAudioBitRate", "1"},
                {"SampleRate", "44100"},
                {"Channel", "mono 1 channel,stereo 2 channels"},
                {"iChannel", "1"},
                {"Volume", "50%,100%"},
                {"iVolume", "1"}});
    job.ZoomMode = "lbox";
    Build(1);
    EXPECT_FALSE(output.VideoDisable);
    EXPECT_EQ(output.VideoCodec, "libx264");
    EXPECT_EQ(output.VideoPreset, "libx264-ipod");
    EXPECT_EQ(output.VideoBitrate, 768000);
    EXPECT_EQ(output.FrameRate, "29.97");
    EXPECT_EQ(output.FrameSize, "320x180");
    EXPECT_EQ(output.VideoFilters, "pad=320:240:0:30");
    EXPECT_EQ(output.AudioCodec, "libfaac");
    EXPECT_EQ(output.AudioBitrate, 128000);
    EXPECT_EQ(output.AudioVolume, -1);
    EXPECT_EQ(input.ExtOptions, "");
    EXPECT_TRUE(questions.empty());
}

TEST_F(BuilderFixture, SourceWithoutVideo) {
    Catalog(1, {{"Format", "ipod"}});
    Profile(1, WorkedExampleProfile);
    source = {0, 0, 0, 0};
    job.ZoomMode = "lbox";
    Build(1);
    EXPECT_TRUE(output.VideoDisable);
    EXPECT_EQ(output.FrameSize, "");
    EXPECT_EQ(output.FileFormat, "");
    EXPECT_EQ(output.VideoFilters, "");
    EXPECT_EQ(output.VideoBitrate, -1);
    EXPECT_EQ(output.AudioCodec, "libfaac");
    EXPECT_EQ(output.AudioChannels, 2);
    EXPECT_EQ(output.AudioSampleRate, 44100);
    EXPECT_EQ(output.AudioBitrate, 128000);
    EXPECT_EQ(input.ExtOptions, "");
    EXPECT_TRUE(questions.empty());
}

TEST_F(BuilderFixture, CodecsPresetsAndContainers) {
    job.ZoomMode = "full";
    struct Case {
        const char* format;
        const char* encoder;
        const char* codec;
        const char* preset;
        const char* container;
        int target;
    };
    const Case cases[] = {
        {"ipod", "mpeg4", "mpeg4", "", "ipod", 0},
        {"PSP", "libx264", "libx264", "libx264-psp", "PSP", 0},
        {"ps3", "libx264", "libx264", "libx264-ps3", "", 0},
        {"null", "libx264", "libx264", "libx264-mp4", "", 0},
        {"mpegts", "mpeg2video", "mpeg2video", "", "mpegts", 3},
        {"avi", "libxvid", "libxvid", "", "avi", 0},
        {"mov", "mov", "", "", "mov", 0},
        {"3g2", "3g2", "", "", "3g2", 0},
        {"null", "swf", "", "", "", 0},
        {"null", "wmv3", "", "", "", 0},
        {"matroska", "msmpeg4v2", "msmpeg4v2", "", "", 0},
    };
    for (const Case& c : cases) {
        Catalog(1, {{"Format", c.format}});
        VideoProfile(c.encoder, "320x240");
        Build(1);
        EXPECT_EQ(output.VideoCodec, c.codec) << c.format << "/" << c.encoder;
        EXPECT_EQ(output.VideoPreset, c.preset) << c.format << "/" << c.encoder;
        EXPECT_EQ(output.FileFormat, c.container) << c.format << "/" << c.encoder;
        EXPECT_EQ(output.Target, c.target) << c.format << "/" << c.encoder;
    }
}

// Whatever the source's depth or chroma, the consumer codecs get what every player decodes;
// encoders with formats of their own are left alone.
TEST_F(BuilderFixture, ConsumerCodecsGetEightBit420) {
    job.ZoomMode = "full";
    for (const char* encoder :
         {"libx264", "mpeg4", "libxvid", "h263", "msmpeg4v2", "wmv2", "flv", "mpeg1video", "mov"}) {
        Catalog(1, {{"Format", std::string(encoder) == "mov" ? "mov" : "null"}});
        VideoProfile(encoder, "352x288");
        Build(1);
        EXPECT_EQ(output.ExtOptions.substr(0, 15), "pix_fmt=yuv420p") << encoder;
    }
    for (const char* encoder : {"mjpeg", "huffyuv", "rawvideo"}) {
        Catalog(1, {{"Format", "avi"}});
        VideoProfile(encoder, "352x288");
        Build(1);
        EXPECT_EQ(output.ExtOptions, "") << encoder;
    }
}

// H.264 gets the profile its device decodes and the level its frame size needs.
TEST_F(BuilderFixture, H264ProfileAndLevelPerDevice) {
    job.ZoomMode = "full";
    struct Case {
        const char* format;
        const char* size;
        const char* lines;
    };
    const Case cases[] = {
        {"ipod", "320x240", "pix_fmt=yuv420p\nbf=0\n8x8dct=0\nweightp=0\nlevel=30"},
        {"ipod", "1280x720", "pix_fmt=yuv420p\nbf=0\n8x8dct=0\nweightp=0\nlevel=31"},
        {"psp", "480x272", "pix_fmt=yuv420p\n8x8dct=0\nlevel=30"},
        {"ps3", "1920x1080", "pix_fmt=yuv420p\nlevel=41"},
        {"null", "1280x720", "pix_fmt=yuv420p\nlevel=31"},
        {"null", "720x576", "pix_fmt=yuv420p\nlevel=30"},
    };
    for (const Case& c : cases) {
        Catalog(1, {{"Format", c.format}});
        VideoProfile("libx264", c.size);
        Build(1);
        EXPECT_EQ(output.ExtOptions, c.lines) << c.format << " " << c.size;
    }
}

// A 16:9 DVD picture (720x480 of 32:27 pixels) is fitted by its display aspect: it fills a
// 16:9 frame, and 4:3 frames letterbox it, always with square pixels.
TEST_F(BuilderFixture, NonSquarePixelsAreFittedByDisplayAspect) {
    job.ZoomMode = "lbox";
    source = TSourceFacts{1, 720, 480, 1500000, 32, 27};
    VideoProfile("libx264", "1280x720");
    Build(1);
    EXPECT_EQ(output.FrameSize, "1280x720");
    EXPECT_EQ(output.VideoFilters, "pad=1280:720:0:0,setsar=1");
    VideoProfile("libx264", "640x480");
    Build(1);
    EXPECT_EQ(output.FrameSize, "640x360");
    EXPECT_EQ(output.VideoFilters, "pad=640:480:0:60,setsar=1");
    // Pan and scan crops the display to 4:3: 720 - 480 * 4/3 / (32/27) = 180 pixels.
    job.ZoomMode = "pan";
    Build(1);
    EXPECT_EQ(output.CropLeft, 90);
    EXPECT_EQ(output.CropRight, 90);
    EXPECT_EQ(output.CropTop, 0);
}

// Music with only a cover picture: a still of the cover for the length of the sound; an
// audio container that holds covers copies it, and every audio output keeps the tags.
TEST_F(BuilderFixture, CoverPictures) {
    job.ZoomMode = "lbox";
    source = TSourceFacts{1, 64, 48, 0};
    source.CoverOnly = true;
    source.Duration = 2000000;
    VideoProfile("libx264", "320x240");
    Build(1);
    EXPECT_EQ(output.VideoFilters, "loop=loop=59:size=1,setpts=N/(29.97*TB),pad=320:240:0:0");
    Profile(1, {{"paraFrameRate", "as source"}});
    Build(1);
    EXPECT_EQ(output.FrameRate, "25");
    EXPECT_EQ(output.VideoFilters, "loop=loop=49:size=1,setpts=N/(25*TB),pad=320:240:0:0");

    Catalog(2400, {{"VideoEncoder", "null"}, {"FileExt", "mp3"}});
    Profile(2400, {{"paraAudioEncoder", "libmp3lame"}});
    Build(2400);
    EXPECT_EQ(output.VideoCodec, "copy");
    EXPECT_FALSE(output.VideoDisable);
    EXPECT_EQ(input.ExtOptions, "");
    EXPECT_EQ(output.ExtOptions, "map_meta_data=0:0");
    Catalog(2400, {{"FileExt", "wav"}});
    Build(2400);
    EXPECT_TRUE(output.VideoDisable);
    EXPECT_EQ(input.ExtOptions, "vn=1");
    EXPECT_EQ(output.ExtOptions, "map_meta_data=0:0");
    EXPECT_EQ(StillPictureFilters(0, 25), "");
}

// Interlaced sources are deinterlaced; HDR sources are tone-mapped for 8-bit outputs.
TEST_F(BuilderFixture, InterlacedAndHdrSources) {
    job.ZoomMode = "full";
    source.Interlaced = true;
    source.HighDynamicRange = true;
    VideoProfile("mpeg4", "640x360");
    Build(1);
    EXPECT_EQ(output.ExtOptions, "deinterlace=1\npix_fmt=yuv420p");
    EXPECT_EQ(output.VideoFilters.substr(0, 23), "zscale=t=linear:npl=100");
    VideoProfile("huffyuv", "640x360");
    Build(1);
    EXPECT_EQ(output.VideoFilters, "");
}

// A mono source stays mono while the channel choice is the catalog's and mono is offered.
TEST_F(BuilderFixture, MonoStaysMono) {
    Catalog(2406, {{"VideoEncoder", "null"},
                   {"AudioEncoder", "ac-3"},
                   {"Channel", "mono 1 channel,stereo 2 channels"},
                   {"iChannel", "1"}});
    source.AudioChannels = 1;
    Build(2406);
    EXPECT_EQ(output.AudioChannels, 1);
    source.AudioChannels = 2;
    Build(2406);
    EXPECT_EQ(output.AudioChannels, 2);
    source.AudioChannels = 1;
    Profile(2406, {{"paraVideoEncoder", ""}, {"iChannel", "1"}, {"paraChannel", "2"}});
    Build(2406);
    EXPECT_EQ(output.AudioChannels, 1);
    Catalog(2406, {{"Channel", "stereo 2 channels"}, {"iChannel", "0"}});
    Build(2406);
    EXPECT_EQ(output.AudioChannels, 2);
}

TEST_F(BuilderFixture, DiscTargetsKeepTheirAspect) {
    job.ZoomMode = "lbox";
    Catalog(1, {{"Format", "ntsc-dvd"}});
    VideoProfile("mpeg2video", "720x480");
    Build(1);
    EXPECT_EQ(output.Target, 3);
    EXPECT_EQ(output.TargetNorm, 2);
    EXPECT_EQ(output.FrameAspectRatio, "16:9");
    EXPECT_EQ(output.FrameSize, "720x404");
    EXPECT_EQ(output.FileFormat, "");

    Catalog(1, {{"Format", "pal-dvd"}});
    Build(1);
    EXPECT_EQ(output.TargetNorm, 1);
    EXPECT_EQ(output.FrameAspectRatio, "4:3");

    job.ZoomMode = "full";
    Catalog(1, {{"Format", "PAL-VCD"}});
    VideoProfile("mpeg1video", "352x288");
    Build(1);
    EXPECT_EQ(output.Target, 1);
    EXPECT_EQ(output.TargetNorm, 1);
    EXPECT_EQ(output.FrameAspectRatio, "4:3");
    EXPECT_EQ(output.FrameSize, "352x288");

    job.ZoomMode = "pan";
    Catalog(1, {{"Format", "ntsc-svcd"}});
    Build(1);
    EXPECT_EQ(output.Target, 2);
    EXPECT_EQ(output.TargetNorm, 2);
    EXPECT_EQ(output.FrameAspectRatio, "4:3");
}

TEST_F(BuilderFixture, AudioOfVideoFormats) {
    VideoProfile("mpeg4", "320x240");
    Profile(1, {{"paraAudioEncoder", "libamr_nb"},
                {"paraChannel", "as source"},
                {"paraVolume", "128"},
                {"paraSampleRate", "as source"}});
    Build(1);
    EXPECT_EQ(output.AudioCodec, "libopencore_amrnb");
    EXPECT_EQ(output.AudioChannels, -1);
    EXPECT_EQ(output.AudioVolume, 128);
    EXPECT_EQ(output.AudioSampleRate, -1);
    EXPECT_FALSE(output.AudioDisable);

    Profile(1, {{"paraAudioEncoder", ""}});
    Build(1);
    EXPECT_TRUE(output.AudioDisable);
    EXPECT_EQ(output.AudioCodec, "");

    Profile(1, {{"paraVolume", "loud"}});
    try {
        Build(1);
        FAIL() << "a volume that is not a number was accepted";
    } catch (const FFmpegException& e) {
        EXPECT_STREQ(e.what(), "'loud' is not a valid integer value");
    }
}

TEST_F(BuilderFixture, NtscDvGetsItsPixelFormat) {
    job.ZoomMode = "lbox";
    VideoProfile("dvvideo", "720x480");
    Build(1);
    EXPECT_EQ(output.ExtOptions, "pix_fmt=yuv411p");
    VideoProfile("dvvideo", "720x576");
    Build(1);
    EXPECT_EQ(output.ExtOptions, "");
}
