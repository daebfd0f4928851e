// Conversions end to end: encoders, containers, picture and sound changes, checked with the
// ffmpeg tools.

#include "EngineTestSupport.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"

#include <cstdlib>

using namespace engine_test;
using testing_support::MakeClip;
using testing_support::ProbeDuration;
using testing_support::ProbeEntry;

namespace {

using TOptions = std::vector<std::pair<std::string, std::string>>;

class Conversion : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        task.Reset();
        task.SetVerbose(-1);
    }

    // Options, then the inputs, then options, then the output; runs on a worker thread.
    void Convert(const std::vector<std::string>& inputs, const TOptions& outputOptions,
                 const std::string& out, bool join = false) {
        for (const std::string& in : inputs) {
            ASSERT_TRUE(task.OpenInputFile(in)) << task.LastErrorText();
        }
        for (const auto& [name, value] : outputOptions) {
            task.SetOption(name, value);
        }
        ASSERT_GT(task.OpenOutputFile(out, join), 0) << task.LastErrorText();
        ASSERT_TRUE(task.RunThreaded());
    }
    void ExpectClean() {
        EXPECT_FALSE(task.HasError()) << task.ErrorMessage();
        EXPECT_TRUE(task.Finished());
    }
    std::string Codec(const std::string& out, const char* selector) {
        return SplitFirst(ProbeEntry(out, selector, "stream=codec_name"), '\n');
    }

    TClipSet clips;
    TTestEngine task;
};

// Mean volume in dB of the first audio stream.
double MeanVolume(const std::string& path) {
    const auto r =
        testing_support::RunCommand("ffmpeg -nostdin -i " + testing_support::ShellQuote(path) +
                                    " -vn -af volumedetect -f null - 2>&1");
    const size_t at = r.output.find("mean_volume:");
    return at == std::string::npos ? 0.0 : std::atof(r.output.c_str() + at + 12);
}

// Average luma of the first video frame (0-255).
double FirstFrameLuma(const std::string& path) {
    const auto r = testing_support::RunCommand(
        "ffprobe -v error -f lavfi -i " +
        testing_support::ShellQuote("movie=" + path + ",signalstats") +
        " -show_entries frame_tags=lavfi.signalstats.YAVG -read_intervals %+#1 -of "
        "default=nw=1:nk=1");
    return std::atof(r.output.c_str());
}

} // namespace

TEST_F(Conversion, H264AndAacMp4WithTheOldAacEncoderName) {
    const std::string out = clips.dir.File("out.mp4");
    Convert({clips.Mp4(3)},
            {{"vcodec", "libx264"}, {"b", "500k"}, {"acodec", "libfaac"}, {"ab", "64k"}}, out);
    ExpectClean();
    EXPECT_EQ(Codec(out, "v:0"), "h264");
    EXPECT_EQ(Codec(out, "a:0"), "aac");
    EXPECT_EQ(CountFrames(out), 75);
    EXPECT_NEAR(ProbeDuration(out), 3.0, 0.15);
    EXPECT_EQ(DecodeErrors(out), "");
}

TEST_F(Conversion, Mpeg4AndMp3Avi) {
    const std::string out = clips.dir.File("out.avi");
    Convert({clips.Mp4(3)}, {{"vcodec", "mpeg4"}, {"acodec", "libmp3lame"}, {"ab", "128k"}}, out);
    ExpectClean();
    EXPECT_EQ(Codec(out, "v:0"), "mpeg4");
    EXPECT_EQ(Codec(out, "a:0"), "mp3");
    EXPECT_EQ(CountFrames(out), 75);
    EXPECT_NEAR(ProbeDuration(out), 3.0, 0.15);
    EXPECT_EQ(DecodeErrors(out), "");
}

TEST_F(Conversion, H263SmallPictureAndNarrowAudio3gp) {
    const std::string out = clips.dir.File("out.3gp");
    Convert({clips.Mp4(3)},
            {{"vcodec", "h263"},
             {"s", "176x144"},
             {"r", "15"},
             {"acodec", "aac"},
             {"ar", "8000"},
             {"ac", "1"},
             {"ab", "12k"}},
            out);
    ExpectClean();
    EXPECT_EQ(Codec(out, "v:0"), "h263");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=width"), "176");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=height"), "144");
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=sample_rate"), "8000");
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=channels"), "1");
    EXPECT_NEAR(ProbeDuration(out), 3.0, 0.2);
    EXPECT_EQ(DecodeErrors(out), "");
}

TEST_F(Conversion, Wmv2AndWma2Asf) {
    const std::string out = clips.dir.File("out.asf");
    Convert({clips.Mp4(3)}, {{"vcodec", "wmv2"}, {"acodec", "wmav2"}, {"ab", "64k"}}, out);
    ExpectClean();
    EXPECT_EQ(Codec(out, "v:0"), "wmv2");
    EXPECT_EQ(Codec(out, "a:0"), "wmav2");
    EXPECT_NEAR(ProbeDuration(out), 3.0, 0.25);
    EXPECT_EQ(DecodeErrors(out), "");
}

TEST_F(Conversion, FlvWithMp3At22050) {
    const std::string out = clips.dir.File("out.flv");
    Convert({clips.Mp4(3)},
            {{"vcodec", "flv"}, {"acodec", "libmp3lame"}, {"ar", "22050"}, {"ab", "64k"}}, out);
    ExpectClean();
    EXPECT_EQ(Codec(out, "v:0"), "flv1");
    EXPECT_EQ(Codec(out, "a:0"), "mp3");
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=sample_rate"), "22050");
    EXPECT_NEAR(ProbeDuration(out), 3.0, 0.2);
    EXPECT_EQ(DecodeErrors(out), "");
}

TEST_F(Conversion, MjpegTakesAFullRangePicture) {
    const std::string out = clips.dir.File("out.mov");
    Convert({clips.Mp4(1)}, {{"vcodec", "mjpeg"}, {"acodec", "pcm_s16le"}}, out);
    ExpectClean();
    EXPECT_EQ(Codec(out, "v:0"), "mjpeg");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=pix_fmt"), "yuvj420p");
    EXPECT_EQ(CountFrames(out), 25);
}

TEST_F(Conversion, CropTopRemovesTheBand) {
    const std::string out = clips.dir.File("crop.mkv");
    Convert({clips.Mp4(1)}, {{"croptop", "40"}, {"vcodec", "mpeg4"}, {"an", "1"}}, out);
    ExpectClean();
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=width"), "640");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=height"), "440");
    EXPECT_EQ(CountFrames(out), 25);
}

TEST_F(Conversion, DoubleFrameRateDuplicatesEveryFrame) {
    const std::string out = clips.dir.File("fifty.avi");
    TLogCapture log;
    task.SetVerbose(1);
    Convert({clips.Mp4(2)}, {{"r", "50"}, {"vcodec", "mpeg4"}, {"an", "1"}}, out);
    ExpectClean();
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=r_frame_rate"), "50/1");
    const int frames = CountFrames(out);
    EXPECT_GE(frames, 98);
    EXPECT_LE(frames, 100);
    EXPECT_TRUE(log.Contains(" dup=")) << "the status line counts the duplicates";
}

TEST_F(Conversion, VolumeDoublesTheSamples) {
    const std::string in = clips.dir.File("tone.wav");
    testing_support::Ffmpeg("-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -af "
                            "volume=0.25 -c:a pcm_s16le " +
                            testing_support::ShellQuote(in));
    const std::string out = clips.dir.File("louder.wav");
    Convert({in}, {{"vol", "512"}}, out);
    ExpectClean();
    EXPECT_NEAR(MeanVolume(out) - MeanVolume(in), 6.02, 0.3);
}

TEST_F(Conversion, AudioThatStartsLateIsPaddedWithSilence) {
    const std::string in = clips.dir.File("late.mkv");
    // Audio begins half a second after the video.
    testing_support::Ffmpeg("-f lavfi -i testsrc=duration=3:size=160x120:rate=25 -itsoffset 0.5 "
                            "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2.5 "
                            "-c:v mpeg4 -c:a pcm_s16le " +
                            testing_support::ShellQuote(in));
    ASSERT_NEAR(ProbeDouble(in, "a:0", "stream=start_time"), 0.5, 0.05);
    const std::string out = clips.dir.File("synced.mkv");
    task.SetAudioSyncMethod(1);
    Convert({in}, {{"vcodec", "mpeg4"}, {"acodec", "pcm_s16le"}}, out);
    ExpectClean();
    // The audio now starts with the video, half a second of it silent.
    EXPECT_NEAR(ProbeDouble(out, "a:0", "stream=start_time"), 0.0, 0.03);
    const auto r =
        testing_support::RunCommand("ffmpeg -nostdin -i " + testing_support::ShellQuote(out) +
                                    " -vn -af atrim=end=0.45,volumedetect -f null - 2>&1");
    EXPECT_NE(r.output.find("max_volume: -91"), std::string::npos) << r.output;
}

TEST_F(Conversion, TwoPassReachesItsBitRate) {
    const std::string in = clips.dir.File("busy.mp4");
    MakeClip(in, 4, 320, 240, 25, 0, "-vf noise=alls=20:allf=t -c:v libx264 -qp 5");
    const std::string prefix = clips.dir.File("passlog");
    for (int pass = 1; pass <= 2; ++pass) {
        task.Reset();
        task.SetVerbose(-1);
        const std::string out = clips.dir.File("twopass" + std::to_string(pass) + ".avi");
        Convert({in},
                {{"pass", std::to_string(pass)},
                 {"passlogfile", prefix},
                 {"vcodec", "mpeg4"},
                 {"b", "400k"}},
                out);
        ExpectClean();
        if (pass == 1) {
            EXPECT_GT(FileSizeOf(prefix + "-0.log"), 0);
        } else {
            const double rate = ProbeDouble(out, "v:0", "stream=bit_rate");
            EXPECT_NEAR(rate, 400000, 40000);
        }
    }
}

TEST_F(Conversion, TwoPassWithLibx264UsesItsOwnStatistics) {
    const std::string prefix = clips.dir.File("x264log");
    Convert({clips.Mp4(1)},
            {{"pass", "1"}, {"passlogfile", prefix}, {"vcodec", "libx264"}, {"an", "1"}},
            clips.dir.File("x264pass1.mp4"));
    ExpectClean();
    EXPECT_GT(FileSizeOf(prefix + "-0.log"), 0);
}

TEST_F(Conversion, JoinedInputsFollowOneAnother) {
    const std::string a = clips.Mp4(2, "a.mp4");
    const std::string b = clips.Mp4(3, "b.mp4");
    const std::string out = clips.dir.File("joined.mp4");
    std::vector<int> files;
    task.ProgressHandler = [&](TCustomFFmpeg&, int file, int, int, float, float, std::int64_t,
                               std::int64_t, std::int64_t) { files.push_back(file); };
    task.SetReportInterval(1);
    Convert({a, b}, {{"vcodec", "libx264"}, {"acodec", "aac"}}, out, true);
    ExpectClean();
    EXPECT_NEAR(ProbeDuration(out), 5.0, 0.2);
    // The second clip follows the end of the longer stream, the sound's last whole frame, half
    // a picture past 2 s: its first picture may be shown twice to keep it with its sound.
    EXPECT_NEAR(CountFrames(out), 125, 1);
    EXPECT_EQ(DecodeErrors(out), "");
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(files.front(), 0);
    EXPECT_NE(std::find(files.begin(), files.end(), 1), files.end());
    EXPECT_EQ(files.back(), -1);
    // Time stamps never go back.
    const auto r = testing_support::RunCommand("ffprobe -v error -select_streams v:0 "
                                               "-show_entries packet=dts -of csv=p=0 " +
                                               testing_support::ShellQuote(out));
    long long last = -1000000;
    for (const std::string& line : SplitText(r.output, '\n')) {
        if (line.empty() || line == "N/A") {
            continue;
        }
        const long long dts = std::atoll(line.c_str());
        EXPECT_GT(dts, last);
        last = dts;
    }
}

TEST_F(Conversion, CustomHookPaintsTheEncodedPictures) {
    int calls = 0;
    int lastFrame = 0;
    task.CustomHookHandler = [&](TCustomFFmpeg&, TBitmap24& bitmap, bool&, bool& update,
                                 std::int64_t, int frameNumber) {
        ++calls;
        lastFrame = frameNumber;
        for (int y = 0; y < bitmap.Height(); ++y) {
            std::fill(bitmap.ScanLine(y), bitmap.ScanLine(y) + bitmap.Width() * 3, 255);
        }
        update = true;
    };
    const std::string out = clips.dir.File("white.mkv");
    Convert({clips.Mp4(1)}, {{"vcodec", "mpeg4"}, {"qscale", "2"}, {"an", "1"}}, out);
    ExpectClean();
    EXPECT_EQ(calls, 25);
    EXPECT_EQ(lastFrame, 25);
    EXPECT_GT(FirstFrameLuma(out), 230);
    // Without update the painting is discarded.
    task.Reset();
    task.SetVerbose(-1);
    task.CustomHookHandler = [](TCustomFFmpeg&, TBitmap24& bitmap, bool&, bool& update,
                                std::int64_t, int) {
        std::fill(bitmap.Bits(), bitmap.Bits() + bitmap.Stride() * bitmap.Height(), 255);
        update = false;
    };
    const std::string kept = clips.dir.File("kept.mkv");
    Convert({clips.Mp4(1)}, {{"vcodec", "mpeg4"}, {"qscale", "2"}, {"an", "1"}}, kept);
    ExpectClean();
    EXPECT_LT(FirstFrameLuma(kept), 200);
}

TEST_F(Conversion, StopHookEndsTheCallsAndFailingHooksAreSurvived) {
    int calls = 0;
    task.CustomHookHandler = [&](TCustomFFmpeg&, TBitmap24&, bool& stopHook, bool&, std::int64_t,
                                 int) {
        ++calls;
        stopHook = true;
    };
    Convert({clips.Mp4(1)}, {{"vcodec", "mpeg4"}, {"an", "1"}}, clips.dir.File("once.mkv"));
    ExpectClean();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(task.CustomHookHandler);

    task.Reset();
    task.SetVerbose(-1);
    calls = 0;
    TLogCapture log(llError);
    task.CustomHookHandler = [&](TCustomFFmpeg&, TBitmap24&, bool&, bool&, std::int64_t, int) {
        ++calls;
        throw std::runtime_error("painter broke");
    };
    Convert({clips.Mp4(1)}, {{"vcodec", "mpeg4"}, {"an", "1"}}, clips.dir.File("throws.mkv"));
    ExpectClean();
    EXPECT_EQ(calls, 25);
    EXPECT_TRUE(log.Contains("Error occurs OnCustomHook: painter broke"));
}

TEST_F(Conversion, FilterTextsScaleOrFailCleanly) {
    const std::string out = clips.dir.File("filtered.mkv");
    task.SetOption("vf", "scale=w=320:h=240,hflip");
    Convert({clips.Mp4(1)}, {{"vcodec", "mpeg4"}, {"an", "1"}}, out);
    ExpectClean();
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=width"), "320");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=height"), "240");
    EXPECT_EQ(CountFrames(out), 25);

    task.Reset();
    task.SetVerbose(-1);
    task.SetOption("vf", "nosuchfilter=3");
    Convert({clips.Mp4(1)}, {{"vcodec", "mpeg4"}, {"an", "1"}}, clips.dir.File("bad.mkv"));
    EXPECT_TRUE(task.HasError());
    EXPECT_EQ(task.ErrorMessage().rfind(enginemsg::ErrorOpeningFiltersText, 0), 0u)
        << task.ErrorMessage();
    EXPECT_GT(task.ErrorMessage().size(), std::string(enginemsg::ErrorOpeningFiltersText).size());
    EXPECT_FALSE(FileExists(clips.dir.File("bad.mkv")));
}

TEST_F(Conversion, NoProgressBeforeTheFirstEncodedPicture) {
    std::vector<int> frames;
    task.ProgressHandler = [&](TCustomFFmpeg&, int, int frame, int, float quality, float,
                               std::int64_t, std::int64_t, std::int64_t) {
        frames.push_back(frame);
        EXPECT_GE(quality, 0.0f) << "frame " << frame;
    };
    task.SetReportInterval(1); // a report after every packet, if there is anything to tell
    Convert({clips.Mp4(2)}, {{"vcodec", "libx264"}, {"acodec", "aac"}}, clips.dir.File("p.mp4"));
    ExpectClean();
    ASSERT_FALSE(frames.empty());
    for (int frame : frames) {
        EXPECT_GE(frame, 1);
    }
    EXPECT_EQ(frames.back(), 50);
}

TEST_F(Conversion, PreviewBitmapsAreRateLimited) {
    std::vector<std::int64_t> at;
    task.SetPreviewFlags(PreviewBitmapFlag);
    task.PreviewBitmapHandler = [&](TCustomFFmpeg&, const TBitmap24& bitmap, std::int64_t, int) {
        at.push_back(fn::av_gettime());
        EXPECT_EQ(bitmap.Width(), 640);
    };
    task.S().rate_emu = true;
    Convert({clips.Mp4(2)}, {{"vcodec", "mpeg4"}, {"an", "1"}}, clips.dir.File("prev.mkv"));
    ExpectClean();
    ASSERT_GE(at.size(), 3u); // fewer on a slow (instrumented) build
    EXPECT_LE(at.size(), 21u);
    // The engine spaces its hand-offs; when the handler then runs depends on the scheduler, so
    // single gaps may come a little short on a busy machine, never half short, and on average
    // never short at all.
    const std::int64_t interval = task.PreviewInterval();
    for (size_t i = 1; i < at.size(); ++i) {
        EXPECT_GT(at[i] - at[i - 1], interval / 2);
    }
    EXPECT_GE((at.back() - at.front()) / static_cast<std::int64_t>(at.size() - 1), interval);
}

TEST_F(Conversion, StartTimeAfterTheInputSkipsDecodedPictures) {
    const std::string out = clips.dir.File("late.avi");
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(3)));
    task.SetStartTime(1000000); // given after the input: decoded and dropped up to 1 s
    task.SetRecordingTime(1000000);
    task.SetOption("vcodec", "mpeg4");
    task.SetOption("acodec", "libmp3lame");
    ASSERT_EQ(task.OpenOutputFile(out), 1);
    ASSERT_TRUE(task.RunThreaded());
    ExpectClean();
    EXPECT_EQ(CountFrames(out), 25);
    EXPECT_NEAR(ProbeDuration(out), 1.0, 0.15);
}
