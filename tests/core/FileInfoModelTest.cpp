// The file information window's fields, from the probe, checked against ffprobe.
#include "FileInfoModel.h"
#include "MediaUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>

using testing_support::ProbeEntry;
using testing_support::TempDir;

namespace {

// ffprobe's seconds as the window writes them.
std::string ExpectedDuration(const std::string& path) {
    const long long us = std::llround(testing_support::ProbeDuration(path) * 1e6);
    return Format("%lld.%.3lld Second", us / 1000000, us % 1000000 / 1000);
}

std::string CountedFrames(const std::string& path) {
    std::string out = testing_support::RunCommand(
                          "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                          "stream=nb_read_frames -of default=nw=1:nk=1 " +
                          testing_support::ShellQuote(path))
                          .output;
    return Trim(out);
}

class FileInfoModel : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testing_support::RequireEncoderLibraries();
        dir = std::make_unique<TempDir>();
        testing_support::MakeClip(Clip25(), 2, 320, 240, 25, 44100,
                                  "-c:v mpeg4 -b:v 300k -c:a aac -ac 2 -b:a 96k");
        testing_support::Ffmpeg("-f lavfi -i testsrc=duration=2:size=176x144:rate=30000/1001 "
                                "-c:v mpeg4 " +
                                testing_support::ShellQuote(Ntsc()));
        testing_support::Ffmpeg("-f lavfi -i sine=frequency=440:sample_rate=32000:duration=2 "
                                "-ac 2 -c:a libmp3lame -b:a 64k " +
                                testing_support::ShellQuote(Tone()));
        std::ofstream(Broken()) << "not a video";
    }
    static void TearDownTestSuite() { dir.reset(); }

    static std::string Clip25() { return dir->File("clip25.mp4"); }
    static std::string Ntsc() { return dir->File("ntsc.mkv"); }
    static std::string Tone() { return dir->File("tone.mp3"); }
    static std::string Broken() { return dir->File("broken.mp4"); }

    static void ExpectNoVideoFields(const TFileInfoFields& f) {
        EXPECT_EQ(f.Resolution, "");
        EXPECT_EQ(f.BitRate, "");
        EXPECT_EQ(f.FrameRate, "");
        EXPECT_EQ(f.TotalFrame, "");
    }
    static void ExpectNoAudioFields(const TFileInfoFields& f) {
        EXPECT_EQ(f.AudioFormat, "");
        EXPECT_EQ(f.SampleRate, "");
        EXPECT_EQ(f.Channel, "");
        EXPECT_EQ(f.AudioBitRate, "");
    }

    static inline std::unique_ptr<TempDir> dir;
    TFileInfoModel model;
};

} // namespace

TEST_F(FileInfoModel, VideoWithAudioAgreesWithFfprobe) {
    const std::string path = Clip25();
    ASSERT_TRUE(model.Load(path)) << model.ErrorText();
    const TFileInfoFields& f = model.Fields();
    EXPECT_EQ(f.SourceName, path.size() < 46 ? path : path.substr(0, 40) + "...mp4  ");
    EXPECT_EQ(f.FileLength, ExpectedDuration(path));
    EXPECT_EQ(f.Format, ProbeEntry(path, "", "format=format_name"));
    EXPECT_EQ(f.Resolution, "320x240");
    EXPECT_EQ(f.BitRate, ProbeEntry(path, "v:0", "stream=bit_rate"));
    EXPECT_EQ(ProbeEntry(path, "v:0", "stream=r_frame_rate"), "25/1");
    EXPECT_EQ(f.FrameRate, "25");
    EXPECT_EQ(f.TotalFrame, ProbeEntry(path, "v:0", "stream=nb_frames"));
    EXPECT_EQ(f.TotalFrame, "50");
    EXPECT_EQ(f.AudioFormat, ProbeEntry(path, "a:0", "stream=codec_name"));
    EXPECT_EQ(f.AudioFormat, "aac");
    EXPECT_EQ(f.SampleRate, ProbeEntry(path, "a:0", "stream=sample_rate"));
    EXPECT_EQ(f.Channel, "2");
    EXPECT_EQ(f.AudioBitRate, ProbeEntry(path, "a:0", "stream=bit_rate"));
    EXPECT_EQ(model.ErrorText(), "");
}

TEST_F(FileInfoModel, NtscVideoWithoutAudioCountsFramesFromItsDuration) {
    const std::string path = Ntsc();
    ASSERT_TRUE(model.Load(path)) << model.ErrorText();
    const TFileInfoFields& f = model.Fields();
    EXPECT_EQ(f.Format, "matroska,webm");
    EXPECT_EQ(f.Resolution, "176x144");
    EXPECT_EQ(ProbeEntry(path, "v:0", "stream=r_frame_rate"), "30000/1001");
    EXPECT_EQ(f.FrameRate, "29.97");
    // Matroska states no frame count: duration x rate must match the frames really there.
    EXPECT_EQ(ProbeEntry(path, "v:0", "stream=nb_frames"), "N/A");
    EXPECT_EQ(f.TotalFrame, CountedFrames(path));
    EXPECT_EQ(f.TotalFrame, "60");
    ExpectNoAudioFields(f);
}

TEST_F(FileInfoModel, AudioOnlyFileShowsNameDurationFormatAndAudio) {
    const std::string path = Tone();
    ASSERT_TRUE(model.Load(path)) << model.ErrorText();
    const TFileInfoFields& f = model.Fields();
    EXPECT_FALSE(f.SourceName.empty());
    EXPECT_EQ(f.FileLength, ExpectedDuration(path));
    EXPECT_EQ(f.Format, "mp3");
    ExpectNoVideoFields(f);
    EXPECT_EQ(f.AudioFormat, "mp3");
    EXPECT_EQ(f.SampleRate, "32000");
    EXPECT_EQ(f.Channel, "2");
    EXPECT_EQ(f.AudioBitRate, "64000");
    EXPECT_EQ(f.AudioBitRate, ProbeEntry(path, "a:0", "stream=bit_rate"));
}

TEST_F(FileInfoModel, AReusedModelNeverShowsTheEarlierFile) {
    ASSERT_TRUE(model.Load(Clip25()));
    ASSERT_TRUE(model.Load(Tone()));
    ExpectNoVideoFields(model.Fields());
    ASSERT_TRUE(model.Load(Clip25()));
    ASSERT_TRUE(model.Load(Ntsc()));
    ExpectNoAudioFields(model.Fields());

    // A file the probe cannot read leaves every field empty and says why.
    EXPECT_FALSE(model.Load(Broken()));
    EXPECT_EQ(model.Fields(), TFileInfoFields{});
    EXPECT_NE(model.ErrorText().find(Broken()), std::string::npos) << model.ErrorText();
    ASSERT_TRUE(model.Load(Tone()));
    const std::string missing = dir->File("missing.mp4");
    EXPECT_FALSE(model.Load(missing));
    EXPECT_EQ(model.Fields(), TFileInfoFields{});
    EXPECT_EQ(model.ErrorText(), missing + ": No such file or directory");
    // An empty job list: nothing to show.
    ASSERT_TRUE(model.Load(Tone()));
    EXPECT_FALSE(model.Load(""));
    EXPECT_EQ(model.Fields(), TFileInfoFields{});
}

TEST(FileInfoTexts, NamesDurationsRatesAndCodecNames) {
    const std::string shortName = "/v/" + std::string(38, 'a') + ".mp4"; // 45 characters
    EXPECT_EQ(TFileInfoModel::DisplayName(shortName), shortName);
    const std::string longName = "/v/" + std::string(39, 'b') + ".mp4"; // 46 characters
    EXPECT_EQ(TFileInfoModel::DisplayName(longName), longName.substr(0, 40) + "...mp4  ");
    // Characters, not bytes: a two-byte letter is never cut in half.
    const std::string accented = "/v/" + std::string(36, 'c') + "\xC3\xA9\xC3\xA9" + "zz.avi";
    EXPECT_EQ(TFileInfoModel::DisplayName(accented),
              "/v/" + std::string(36, 'c') + "\xC3\xA9" + "...avi  ");

    EXPECT_EQ(TFileInfoModel::DurationText(3723456789), "3723.456 Second");
    EXPECT_EQ(TFileInfoModel::DurationText(2000), "0.002 Second");
    EXPECT_EQ(TFileInfoModel::DurationText(-1), "");

    EXPECT_EQ(TFileInfoModel::FrameRateText(25, 1), "25");
    EXPECT_EQ(TFileInfoModel::FrameRateText(30000, 1001), "29.97");
    EXPECT_EQ(TFileInfoModel::FrameRateText(24000, 1001), "23.976");
    EXPECT_EQ(TFileInfoModel::FrameRateText(25, 2), "12.5");
    EXPECT_EQ(TFileInfoModel::FrameRateText(0, 0), "");

    EXPECT_EQ(TFileInfoModel::FrameCountText(123, 10'000'000, 25, 1), "123");
    EXPECT_EQ(TFileInfoModel::FrameCountText(-1, 10'000'000, 25, 1), "250");
    EXPECT_EQ(TFileInfoModel::FrameCountText(-1, 2'002'000, 30000, 1001), "60");
    EXPECT_EQ(TFileInfoModel::FrameCountText(-1, -1, 25, 1), "");

    EXPECT_EQ(TFileInfoModel::AudioFormatOf("File Name: a\r\n"
                                            "  title           : Audio: fake, x\r\n"
                                            "Stream #0, 1/25: Video: mpeg4, yuv420p\r\n"
                                            "Stream #1, 1/44100: Audio: aac (LC) (mp4a / "
                                            "0x6134706D), 44100 Hz, stereo\r\n"),
              "aac");
    EXPECT_EQ(TFileInfoModel::AudioFormatOf("Stream #0, 1/8000: Audio: pcm_alaw, 8000 Hz\r\n"),
              "pcm_alaw");
    EXPECT_EQ(TFileInfoModel::AudioFormatOf("Stream #0, 1/25: Video: h264\r\n"), "");
}
