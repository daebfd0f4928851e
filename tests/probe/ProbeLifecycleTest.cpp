#include "AVProbe.h"
#include "FFmpegException.h"
#include "FFmpegLoader.h"
#include "LibraryFunctions.h"
#include "MediaFile.h"
#include "MediaMessages.h"
#include "MediaPtr.h"
#include "MediaUtils.h"
#include "ProbeMessages.h"
#include "ProbeTestSupport.h"
#include "UnicodeProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using probe_testing::LogCapture;
using probe_testing::LoggedLine;
using testing_support::RequireEncoderLibraries;
using testing_support::TempDir;

namespace {

void ExpectEmpty(const TCustomAVProbe& probe) {
    EXPECT_EQ(probe.Context(), nullptr);
    EXPECT_FALSE(probe.OwnsContext());
    EXPECT_EQ(probe.FileSize(), -1);
    EXPECT_EQ(probe.StreamCount(), -1);
    EXPECT_EQ(probe.ProgramCount(), -1);
    EXPECT_EQ(probe.AudioStreamCount(), -1);
    EXPECT_EQ(probe.VideoStreamCount(), -1);
    EXPECT_EQ(probe.SubtitleStreamCount(), -1);
    EXPECT_EQ(probe.FirstAudioStreamIndex(), -1);
    EXPECT_EQ(probe.FirstVideoStreamIndex(), -1);
    EXPECT_EQ(probe.FirstSubtitleStreamIndex(), -1);
    EXPECT_EQ(probe.ForcedFormat(), "");
    EXPECT_EQ(probe.FileName(), "");
    EXPECT_EQ(probe.FormatName(), "");
}

void ExpectCleared(const TAudioStreamInfo& a) {
    EXPECT_EQ(a.Language, "");
    EXPECT_EQ(a.CodecName, "");
    EXPECT_EQ(a.StartTime, -1);
    EXPECT_EQ(a.StartTimeUS, -1);
    EXPECT_EQ(a.Duration, -1);
    EXPECT_EQ(a.DurationUS, -1);
    EXPECT_EQ(a.BitRate, -1);
    EXPECT_EQ(a.Channels, -1);
    EXPECT_EQ(a.SampleRate, -1);
    EXPECT_EQ(a.SampleFormat, -1);
}

void ExpectCleared(const TVideoStreamInfo& v) {
    EXPECT_EQ(v.Language, "");
    EXPECT_EQ(v.CodecName, "");
    EXPECT_EQ(v.StartTime, -1);
    EXPECT_EQ(v.DurationUS, -1);
    EXPECT_EQ(v.BitRate, -1);
    EXPECT_EQ(v.Width, -1);
    EXPECT_EQ(v.Height, -1);
    EXPECT_EQ(v.DisplayAspectRatio, -1.0f);
    EXPECT_EQ(v.PixelFormat, -1);
    EXPECT_EQ(v.FrameRateNum, -1);
    EXPECT_EQ(v.FrameRateDen, -1);
}

// The only line the probe logged, at the given level.
void ExpectLogged(LogCapture& log, TLogLevel level, const std::string& text) {
    const std::vector<LoggedLine> lines = log.ProbeLines();
    ASSERT_EQ(lines.size(), 1u) << (lines.empty() ? "" : lines.back().text);
    EXPECT_EQ(lines[0].level, level);
    EXPECT_EQ(lines[0].text, text);
    log.Clear();
}

} // namespace

TEST(ProbeLifecycle, EmptyProbeAnswersWithoutAFile) {
    RequireEncoderLibraries();
    LogCapture log;
    TAVProbe probe;
    ExpectEmpty(probe);
    EXPECT_FALSE(probe.IsAudioStream(0));
    EXPECT_FALSE(probe.IsVideoStream(0));

    TFileStreamInfo file;
    file.Title = "stale";
    file.Duration = 99;
    EXPECT_FALSE(probe.GetFileStreamInfo(file));
    EXPECT_EQ(file.Title, "");
    EXPECT_EQ(file.Duration, -1);
    EXPECT_EQ(file.Timestamp, -1);
    EXPECT_EQ(probe.LastErrorText(), probemsg::FileNotLoaded);
    ExpectLogged(log, llWarning, "file not loaded.");

    TAudioStreamInfo audio;
    audio.SampleRate = 8000;
    EXPECT_FALSE(probe.GetAudioStreamInfo(0, audio));
    ExpectCleared(audio);
    ExpectLogged(log, llWarning, "file not loaded.");

    TVideoStreamInfo video;
    EXPECT_FALSE(probe.GetVideoStreamInfo(-1, video));
    ExpectCleared(video);
    ExpectLogged(log, llWarning, "file not loaded.");

    EXPECT_EQ(probe.GetInfoText(), "");
    ExpectLogged(log, llWarning, "file not loaded.");
}

TEST(ProbeLifecycle, CloseReturnsToEmptyAndForgetsTheForcedFormat) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("clip.mkv");
    probe_testing::MakeVideoAudio(path, "-c:v mpeg4 -c:a mp2");

    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path, "matroska")) << probe.LastErrorText();
    EXPECT_EQ(probe.ForcedFormat(), "matroska");
    EXPECT_EQ(probe.StreamCount(), 2);
    ASSERT_TRUE(probe.LoadFile(path)) << probe.LastErrorText();
    EXPECT_EQ(probe.ForcedFormat(), "");
    probe.Close();
    ExpectEmpty(probe);
    probe.Close(); // twice is harmless
    ExpectEmpty(probe);
}

TEST(ProbeErrors, MissingStreamsAreReportedAndRecordsStayCleared) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string videoOnly = dir.File("video.mp4");
    probe_testing::MakeVideoOnly(videoOnly);
    const std::string both = dir.File("both.avi");
    probe_testing::MakeVideoAudio(both, "-c:v mpeg4 -c:a mp2");

    LogCapture log;
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(videoOnly)) << probe.LastErrorText();
    log.Clear();
    TAudioStreamInfo audio;
    EXPECT_FALSE(probe.GetAudioStreamInfo(-1, audio));
    ExpectCleared(audio);
    EXPECT_EQ(probe.LastErrorText(), "no audio stream.");
    ExpectLogged(log, llError, "no audio stream.");

    ASSERT_TRUE(probe.LoadFile(both)) << probe.LastErrorText();
    ASSERT_EQ(probe.StreamCount(), 2);
    log.Clear();
    TVideoStreamInfo video;
    EXPECT_FALSE(probe.GetVideoStreamInfo(5, video));
    ExpectCleared(video);
    EXPECT_EQ(probe.LastErrorText(), "stream index #5 is invalid.");
    ExpectLogged(log, llError, "stream index #5 is invalid.");

    // Exactly at the end of the stream array.
    EXPECT_FALSE(probe.GetAudioStreamInfo(2, audio));
    ExpectLogged(log, llError, "stream index #2 is invalid.");

    EXPECT_FALSE(probe.GetVideoStreamInfo(1, video));
    ExpectCleared(video);
    ExpectLogged(log, llError, "stream #1 is not video stream.");

    EXPECT_FALSE(probe.GetAudioStreamInfo(0, audio));
    ExpectCleared(audio);
    ExpectLogged(log, llError, "stream #0 is not audio stream.");

    // A good query after the failures still fills the record and logs nothing.
    EXPECT_TRUE(probe.GetAudioStreamInfo(1, audio));
    EXPECT_EQ(audio.SampleRate, 44100);
    EXPECT_TRUE(log.ProbeLines().empty());
}

TEST(ProbeErrors, AudioOnlyFileHasNoVideoStream) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    probe_testing::MakeTaggedMp3(path);
    LogCapture log;
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path)) << probe.LastErrorText();
    log.Clear();
    TVideoStreamInfo video;
    EXPECT_FALSE(probe.GetVideoStreamInfo(-1, video));
    ExpectCleared(video);
    ExpectLogged(log, llError, "no video stream.");
}

TEST(ProbeErrors, UnknownForcedFormatIsNotLogged) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("clip.avi");
    probe_testing::MakeVideoOnly(path);
    LogCapture log;
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path));
    EXPECT_FALSE(probe.LoadFile(path, "nosuch"));
    EXPECT_EQ(probe.LastErrorText(), "Unknown input format: nosuch");
    EXPECT_TRUE(log.ProbeLines().empty());
    // The file opened before is gone.
    ExpectEmpty(probe);
}

TEST(ProbeErrors, MissingFileGivesTheSystemMessage) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("absent.mp4");
    LogCapture log;
    TAVProbe probe;
    EXPECT_FALSE(probe.LoadFile(path));
    EXPECT_EQ(probe.LastErrorText(), path + ": No such file or directory");
    ExpectLogged(log, llError, path + ": No such file or directory");
    ExpectEmpty(probe);
}

TEST(ProbeErrors, FileWithoutMediaFailsToOpen) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("notes.txt");
    std::ofstream(path) << "not a media file\n";
    LogCapture log;
    TAVProbe probe;
    EXPECT_FALSE(probe.LoadFile(path));
    EXPECT_EQ(probe.LastErrorText(), path + ": Invalid data found when processing input");
    ExpectEmpty(probe);
}

TEST(ProbeErrors, StreamWithoutParametersIsRefused) {
    RequireEncoderLibraries();
    TempDir dir;
    // A raw H.264 stream opens without reading anything; its data never yields a picture.
    const std::string path = dir.File("zeros.264");
    std::ofstream(path, std::ios::binary) << std::string(1000, '\0');
    LogCapture log;
    TAVProbe probe;
    EXPECT_FALSE(probe.LoadFile(path, "h264"));
    EXPECT_EQ(probe.LastErrorText(), path + ": could not find codec parameters");
    EXPECT_TRUE(log.ProbeLines().empty());
    ExpectEmpty(probe);
}

TEST(ProbeLibraries, CheckedInLoadOrder) {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    if (loader.IsLoaded(TLibraryKind::libAVUtil) || loader.IsLoaded(TLibraryKind::libAVCodec)) {
        GTEST_SKIP() << "needs a process that has not loaded the libraries";
    }
    loader.SetLibraryFolder("");
    TAVProbe probe;
    auto expectThrow = [&](const char* text) {
        try {
            probe.LoadFile("/nonexistent.mp4");
            ADD_FAILURE() << "no exception, expected " << text;
        } catch (const FFmpegException& e) {
            EXPECT_STREQ(e.what(), text);
        }
        EXPECT_THROW(probe.AttachContext(nullptr), FFmpegException);
        EXPECT_EQ(probe.LastErrorText(), ""); // not an error of the probe's own
    };
    expectThrow(mediamsg::LibAVCodecNotLoaded);
    ASSERT_TRUE(loader.LoadOne(TLibraryKind::libAVCodec)) << loader.LastErrorText();
    expectThrow(mediamsg::LibAVFormatNotLoaded);
    ASSERT_TRUE(loader.LoadOne(TLibraryKind::libAVFormat)) << loader.LastErrorText();
    expectThrow(mediamsg::LibAVUtilNotLoaded);
    ASSERT_TRUE(loader.LoadOne(TLibraryKind::libAVUtil)) << loader.LastErrorText();
    expectThrow(mediamsg::LibSwScaleNotLoaded);
    ASSERT_TRUE(loader.LoadOne(TLibraryKind::libSWScale)) << loader.LastErrorText();
    EXPECT_NO_THROW(TCustomAVProbe::CheckLibraries());
    EXPECT_FALSE(probe.LoadFile("/nonexistent.mp4"));
}

TEST(ProbeUnicodeNames, NameOutsideTheLocaleComesBackUnchanged) {
    RequireEncoderLibraries();
    probe_testing::LocaleScope locale("C");
    TempDir dir;
    const std::string plain = dir.File("plain.mkv");
    probe_testing::MakeVideoAudio(plain, "-c:v mpeg4 -c:a mp2");
    const std::string accented = dir.File("vid\xC3\xA9o-\xE6\x97\xA5\xE6\x9C\xAC.mkv");
    std::filesystem::rename(plain, accented);
    ASSERT_TRUE(NeedsUnicodeName(accented));

    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(accented)) << probe.LastErrorText();
    ASSERT_NE(probe.Context(), nullptr);
    EXPECT_TRUE(IsUnicodeName(probe.Context()->url));
    EXPECT_EQ(probe.FileName(), accented);
    EXPECT_EQ(probe.FileSize(), static_cast<std::int64_t>(std::filesystem::file_size(accented)));
    EXPECT_EQ(probe.StreamCount(), 2);
    EXPECT_EQ(probe_testing::SplitLines(probe.GetInfoText()).at(0), "File Name: " + accented);

    // A missing name of that kind reports the name as given.
    const std::string missing = dir.File("absent-\xC3\xA9.mkv");
    EXPECT_FALSE(probe.LoadFile(missing));
    EXPECT_EQ(probe.LastErrorText(), missing + ": No such file or directory");
}

TEST(ProbeAttach, AdoptedContextIsNeverClosed) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("engine-input.avi");
    probe_testing::MakeVideoAudio(path, "-c:v mpeg4 -c:a mp2");

    AVFormatContext* context = nullptr;
    ASSERT_EQ(TMediaFile::OpenInput(&context, path, nullptr, nullptr), 0);
    ASSERT_GE(fn::avformat_find_stream_info(context, nullptr), 0);
    {
        TAVProbe probe;
        probe.AttachContext(context);
        EXPECT_EQ(probe.Context(), context);
        EXPECT_FALSE(probe.OwnsContext());
        EXPECT_EQ(probe.StreamCount(), 2);
        EXPECT_EQ(probe.PrimaryStreamIndex(), 0);
        EXPECT_EQ(probe.FileName(), path);
        EXPECT_EQ(probe.FileSize(), static_cast<std::int64_t>(std::filesystem::file_size(path)));
        TVideoStreamInfo video;
        EXPECT_TRUE(probe.GetVideoStreamInfo(-1, video));
        EXPECT_EQ(video.Width, 320);

        probe.Close();
        EXPECT_EQ(probe.StreamCount(), -1);
        probe.AttachContext(context);
        // Loading another file lets go of the adopted one without closing it.
        const std::string other = dir.File("other.mp3");
        probe_testing::MakeTaggedMp3(other);
        ASSERT_TRUE(probe.LoadFile(other)) << probe.LastErrorText();
        EXPECT_TRUE(probe.OwnsContext());
        probe.AttachContext(context);
    } // destroyed while attached

    // The context still reads: nothing freed it behind the owner's back.
    media::PacketPtr packet = media::MakePacket();
    int packets = 0;
    while (fn::av_read_frame(context, packet.get()) >= 0) {
        ++packets;
        fn::av_packet_unref(packet.get());
    }
    EXPECT_GT(packets, 50);
    TMediaFile::CloseInput(&context);
}

TEST(ProbeAttach, HandMadeContextWithFaultyRecords) {
    RequireEncoderLibraries();
    media::FormatContextPtr context(fn::avformat_alloc_context());
    ASSERT_TRUE(context);
    AVStream* video = fn::avformat_new_stream(context.get(), nullptr);
    AVStream* audio = fn::avformat_new_stream(context.get(), nullptr);
    ASSERT_TRUE(video != nullptr && audio != nullptr);
    video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    video->codecpar->width = 64;
    video->codecpar->height = 48;
    video->time_base = AVRational{5, 0}; // a broken record from some demuxer
    video->r_frame_rate = AVRational{25, 1};
    video->start_time = 10;
    audio->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    audio->codecpar->sample_rate = 8000;
    audio->time_base = AVRational{1, 8000};

    // A program that names its streams in an older manner, and a stream that does not exist.
    auto* program = static_cast<AVProgram*>(fn::av_mallocz(sizeof(AVProgram)));
    ASSERT_NE(program, nullptr);
    program->id = 7;
    program->stream_index = static_cast<unsigned*>(fn::av_malloc(2 * sizeof(unsigned)));
    program->stream_index[0] = 9;
    program->stream_index[1] = 0;
    program->nb_stream_indexes = 2;
    fn::av_dict_set(&program->metadata, "provider_name", "Old", 0);
    fn::av_dict_set(&program->metadata, "name", "Chan", 0);
    int programs = 0;
    ASSERT_GE(fn::av_dynarray_add_nofree(&context->programs, &programs, program), 0);
    ASSERT_EQ(programs, 1);
    context->nb_programs = 1;

    TAVProbe probe;
    probe.AttachContext(context.get());
    EXPECT_EQ(probe.StreamCount(), 2);
    EXPECT_EQ(probe.ProgramCount(), 1);
    EXPECT_EQ(probe.FileName(), "");
    EXPECT_EQ(probe.FormatName(), "");

    TVideoStreamInfo info;
    ASSERT_TRUE(probe.GetVideoStreamInfo(0, info));
    EXPECT_EQ(info.StartTime, 10);
    EXPECT_EQ(info.StartTimeUS, 10000000); // counted in a 5/5 time base
    EXPECT_EQ(info.FrameRateNum, 25);
    EXPECT_EQ(info.DisplayAspectRatio, 0.0f); // no aspect ratio known
    EXPECT_EQ(probe.PrimaryStartTime(), 10000000);
    // The adopted record itself is left as it was.
    EXPECT_EQ(video->time_base.num, 5);
    EXPECT_EQ(video->time_base.den, 0);

    const std::vector<std::string> lines = probe_testing::SplitLines(probe.GetInfoText());
    const auto program7 = std::find(lines.begin(), lines.end(), "Program 7 Old@Chan");
    ASSERT_NE(program7, lines.end());
    ASSERT_LT(program7 + 4, lines.end());
    EXPECT_EQ(*(program7 + 1), "  Metadata:");
    EXPECT_EQ(*(program7 + 2), "    provider_name   : Old");
    EXPECT_EQ(*(program7 + 3), "    name            : Chan");
    const std::string& first = *(program7 + 4);
    EXPECT_EQ(first.rfind("Stream #0, 1/0: ", 0), 0u) << first;
    EXPECT_NE(first.find(", 25 tbr, StartTime: 10.000000, Duration: N/A"), std::string::npos)
        << first;
    EXPECT_EQ(lines.back().rfind("Stream #1, 1/8000: ", 0), 0u) << lines.back();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("Stream #", 0) == 0; }),
              2);
    probe.Close();
    EXPECT_EQ(context->nb_streams, 2u);
}
