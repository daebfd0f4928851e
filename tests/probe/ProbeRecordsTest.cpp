#include "AVProbe.h"
#include "LibraryFunctions.h"
#include "MediaUtils.h"
#include "ProbeMessages.h"
#include "ProbeTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

using probe_testing::LogCapture;
using testing_support::ProbeEntry;
using testing_support::RequireEncoderLibraries;
using testing_support::TempDir;

namespace {

struct Container {
    const char* name;
    const char* file;
    const char* codecs;
};

std::int64_t ProbeInt(const std::string& path, const std::string& selector,
                      const std::string& entry) {
    return std::atoll(ProbeEntry(path, selector, entry).c_str());
}

// ffprobe's seconds with six decimals, as microseconds.
std::int64_t ProbeMicroseconds(const std::string& path, const std::string& selector,
                               const std::string& entry) {
    return std::llround(std::atof(ProbeEntry(path, selector, entry).c_str()) * 1e6);
}

void ExpectFraction(const std::string& text, int num, int den) {
    EXPECT_EQ(text, std::to_string(num) + "/" + std::to_string(den));
}

void PrintTo(const Container& container, std::ostream* out) {
    *out << container.name;
}

class ProbeContainers : public ::testing::TestWithParam<Container> {};

} // namespace

TEST_P(ProbeContainers, RecordsAgreeWithFfprobe) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File(GetParam().file);
    probe_testing::MakeVideoAudio(path, GetParam().codecs);

    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path, "")) << probe.LastErrorText();
    EXPECT_TRUE(probe.OwnsContext());
    EXPECT_EQ(probe.FileName(), path);
    EXPECT_EQ(probe.FormatName(), ProbeEntry(path, "", "format=format_name"));
    EXPECT_EQ(probe.FileSize(), static_cast<std::int64_t>(std::filesystem::file_size(path)));
    EXPECT_EQ(probe.FileSize(), ProbeInt(path, "", "format=size"));
    EXPECT_EQ(probe.StreamCount(), 2);
    EXPECT_EQ(probe.ProgramCount(), 0);
    EXPECT_EQ(probe.VideoStreamCount(), 1);
    EXPECT_EQ(probe.AudioStreamCount(), 1);
    EXPECT_EQ(probe.SubtitleStreamCount(), 0);
    EXPECT_EQ(probe.FirstVideoStreamIndex(), 0);
    EXPECT_EQ(probe.FirstAudioStreamIndex(), 1);
    EXPECT_EQ(probe.FirstSubtitleStreamIndex(), -1);
    EXPECT_EQ(probe.PrimaryStreamIndex(), 0);
    EXPECT_TRUE(probe.IsVideoStream(0));
    EXPECT_FALSE(probe.IsAudioStream(0));
    EXPECT_TRUE(probe.IsAudioStream(1));
    EXPECT_FALSE(probe.IsAudioStream(2));
    EXPECT_FALSE(probe.IsVideoStream(-1));

    TFileStreamInfo file;
    ASSERT_TRUE(probe.GetFileStreamInfo(file));
    EXPECT_NEAR(static_cast<double>(file.Duration),
                static_cast<double>(ProbeMicroseconds(path, "", "format=duration")), 1.0);
    EXPECT_EQ(file.StartTime, ProbeMicroseconds(path, "", "format=start_time"));
    EXPECT_EQ(file.BitRate, ProbeInt(path, "", "format=bit_rate"));

    TVideoStreamInfo video;
    ASSERT_TRUE(probe.GetVideoStreamInfo(-1, video));
    EXPECT_EQ(video.Width, 320);
    EXPECT_EQ(video.Width, ProbeInt(path, "v:0", "stream=width"));
    EXPECT_EQ(video.Height, ProbeInt(path, "v:0", "stream=height"));
    ExpectFraction(ProbeEntry(path, "v:0", "stream=r_frame_rate"), video.FrameRateNum,
                   video.FrameRateDen);
    EXPECT_EQ(video.FrameRateNum, 25);
    EXPECT_EQ(video.FrameRateDen, 1);
    EXPECT_EQ(video.PixelFormat,
              fn::av_get_pix_fmt(ProbeEntry(path, "v:0", "stream=pix_fmt").c_str()));
    EXPECT_FLOAT_EQ(video.DisplayAspectRatio, 4.0f / 3.0f);
    const std::string frames = ProbeEntry(path, "v:0", "stream=nb_frames");
    EXPECT_EQ(video.FrameCount, frames == "N/A" ? -1 : std::atoll(frames.c_str()));
    EXPECT_EQ(video.CodecName.rfind(ProbeEntry(path, "v:0", "stream=codec_name") + "(", 0), 0u)
        << video.CodecName;
    EXPECT_EQ(video.StartTime, ProbeInt(path, "v:0", "stream=start_pts"));
    EXPECT_EQ(video.StartTimeUS, ProbeMicroseconds(path, "v:0", "stream=start_time"));
    const std::string durationTs = ProbeEntry(path, "v:0", "stream=duration_ts");
    if (durationTs == "N/A") {
        EXPECT_EQ(video.Duration, -1);
        EXPECT_EQ(video.DurationUS, -1);
    } else {
        EXPECT_EQ(video.Duration, std::atoll(durationTs.c_str()));
        EXPECT_EQ(video.DurationUS, ProbeMicroseconds(path, "v:0", "stream=duration"));
    }

    TAudioStreamInfo audio;
    ASSERT_TRUE(probe.GetAudioStreamInfo(-1, audio));
    EXPECT_EQ(audio.SampleRate, 44100);
    EXPECT_EQ(audio.SampleRate, ProbeInt(path, "a:0", "stream=sample_rate"));
    EXPECT_EQ(audio.Channels, ProbeInt(path, "a:0", "stream=channels"));
    EXPECT_EQ(audio.SampleFormat,
              fn::av_get_sample_fmt(ProbeEntry(path, "a:0", "stream=sample_fmt").c_str()));
    EXPECT_EQ(audio.StartTimeUS, ProbeMicroseconds(path, "a:0", "stream=start_time"));
    const std::string audioRate = ProbeEntry(path, "a:0", "stream=bit_rate");
    if (audioRate != "N/A") {
        EXPECT_EQ(audio.BitRate, std::atoi(audioRate.c_str()));
    }
    // The same stream by its index.
    TAudioStreamInfo byIndex;
    ASSERT_TRUE(probe.GetAudioStreamInfo(1, byIndex));
    EXPECT_EQ(byIndex.CodecName, audio.CodecName);
    EXPECT_EQ(byIndex.SampleRate, audio.SampleRate);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProbeContainers,
    ::testing::Values(Container{"Mp4", "clip.mp4", "-c:v mpeg4 -c:a aac"},
                      Container{"Matroska", "clip.mkv", "-c:v mpeg4 -c:a libvorbis"},
                      Container{"Avi", "clip.avi", "-c:v mpeg4 -c:a mp2"}),
    [](const ::testing::TestParamInfo<Container>& info) { return info.param.name; });

TEST(ProbeRecords, NtscFrameRateAndLanguage) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("ntsc.mkv");
    probe_testing::MakeVideoOnly(path, "-r 30000/1001 -metadata:s:v:0 language=fre");

    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path)) << probe.LastErrorText();
    TVideoStreamInfo video;
    ASSERT_TRUE(probe.GetVideoStreamInfo(0, video));
    EXPECT_EQ(video.FrameRateNum, 30000);
    EXPECT_EQ(video.FrameRateDen, 1001);
    ExpectFraction(ProbeEntry(path, "v:0", "stream=r_frame_rate"), video.FrameRateNum,
                   video.FrameRateDen);
    EXPECT_EQ(video.Language, "fre");
    EXPECT_EQ(video.Width, 176);
    EXPECT_EQ(video.Height, 144);
}

TEST(ProbeRecords, AudioOnlyMp3) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    probe_testing::MakeTaggedMp3(path);

    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path)) << probe.LastErrorText();
    EXPECT_EQ(probe.FormatName(), "mp3");
    EXPECT_EQ(probe.StreamCount(), 1);
    EXPECT_EQ(probe.VideoStreamCount(), 0);
    EXPECT_EQ(probe.FirstVideoStreamIndex(), -1);
    EXPECT_EQ(probe.FirstAudioStreamIndex(), 0);
    EXPECT_EQ(probe.PrimaryStreamIndex(), 0);
    EXPECT_EQ(probe.PrimaryStartTime(), ProbeMicroseconds(path, "a:0", "stream=start_time"));

    TAudioStreamInfo audio;
    ASSERT_TRUE(probe.GetAudioStreamInfo(-1, audio));
    EXPECT_EQ(audio.SampleRate, 22050);
    EXPECT_EQ(audio.Channels, 1);
    EXPECT_EQ(audio.StartTime, ProbeInt(path, "a:0", "stream=start_pts"));
    EXPECT_EQ(audio.CodecName.rfind("mp3", 0), 0u) << audio.CodecName;

    TFileStreamInfo file;
    ASSERT_TRUE(probe.GetFileStreamInfo(file));
    EXPECT_EQ(file.StartTime, ProbeMicroseconds(path, "", "format=start_time"));
    EXPECT_GT(file.StartTime, 0); // the encoder delay
    EXPECT_NEAR(static_cast<double>(file.Duration),
                static_cast<double>(ProbeMicroseconds(path, "", "format=duration")), 1.0);
    // The ID3 TPE1 frame is the artist, which stands in for the author.
    EXPECT_EQ(file.Author, "Singer");
    EXPECT_EQ(file.Title, "Song");
    EXPECT_EQ(file.Timestamp, -1);
    EXPECT_EQ(file.Year, -1);
    EXPECT_EQ(file.Track, -1);
    EXPECT_EQ(file.Album, "");
}

TEST(ProbeRecords, ContainerTags) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("tagged.mp4");
    probe_testing::MakeVideoAudio(
        path, "-c:v mpeg4 -c:a aac", "25",
        "-metadata title='My Title' -metadata artist='Some Artist' -metadata comment='A comment' "
        "-metadata album=Alb -metadata genre=Rock -metadata date=2009 -metadata track=3/12 "
        "-metadata copyright='(c) me' -metadata creation_time=2020-01-02T03:04:05Z");

    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path)) << probe.LastErrorText();
    TFileStreamInfo file;
    ASSERT_TRUE(probe.GetFileStreamInfo(file));
    EXPECT_EQ(file.Title, "My Title");
    EXPECT_EQ(file.Author, "Some Artist");
    EXPECT_EQ(file.Comment, "A comment");
    EXPECT_EQ(file.Album, "Alb");
    EXPECT_EQ(file.Genre, "Rock");
    EXPECT_EQ(file.Copyright, "(c) me");
    EXPECT_EQ(file.Year, 2009);
    EXPECT_EQ(file.Track, 3);
    EXPECT_EQ(file.Timestamp, 1577934245); // date -u -d 2020-01-02T03:04:05Z +%s
}

TEST(ProbeRecords, NegativeStartTimeIsKept) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("early.mkv");
    probe_testing::MakeVideoOnly(path, "-output_ts_offset -0.5 -avoid_negative_ts disabled");

    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path)) << probe.LastErrorText();
    TVideoStreamInfo video;
    ASSERT_TRUE(probe.GetVideoStreamInfo(-1, video));
    EXPECT_EQ(video.StartTimeUS, -500000);
    EXPECT_EQ(video.StartTimeUS, ProbeMicroseconds(path, "v:0", "stream=start_time"));
    EXPECT_EQ(probe.PrimaryStartTime(), -500000);
}

TEST(ProbePrimaryStream, VideoWinsOverAnEarlierAudioStream) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("audiofirst.ts");
    probe_testing::MakeVideoAudio(path, "-map 1:a -map 0:v -c:v mpeg2video -c:a mp2");

    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path)) << probe.LastErrorText();
    ASSERT_EQ(probe.FirstAudioStreamIndex(), 0);
    ASSERT_EQ(probe.FirstVideoStreamIndex(), 1);
    EXPECT_EQ(probe.PrimaryStreamIndex(), 1);
    // The transport stream starts well after zero; the video stream's own start counts.
    const std::int64_t videoStart = ProbeMicroseconds(path, "v:0", "stream=start_time");
    ASSERT_NE(videoStart, ProbeMicroseconds(path, "", "format=start_time"));
    EXPECT_EQ(probe.PrimaryStartTime(), videoStart);

    probe.Close();
    EXPECT_EQ(probe.PrimaryStreamIndex(), -1);
    EXPECT_EQ(probe.PrimaryStartTime(), NoTimestamp);
}

TEST(ProbePrimaryStream, NoneWithoutAFile) {
    TAVProbe probe;
    EXPECT_EQ(probe.PrimaryStreamIndex(), -1);
    EXPECT_EQ(probe.PrimaryStartTime(), NoTimestamp);
}
