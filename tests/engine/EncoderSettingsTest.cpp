// What the pending settings make of an output stream's encoder, and the side outputs of a
// conversion: previews, statistics files, deinterlacing, down-mixing.

#include "EngineTestSupport.h"
#include "FFmpegMessages.h"
#include "HeadlessPreviewWindow.h"
#include "MediaUtils.h"
#include "PreviewWindow.h"

#include <fstream>

using namespace engine_test;
using testing_support::ProbeEntry;

namespace {

class EncoderSettings : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        task.Reset();
        task.SetVerbose(-1);
    }
    TClipSet clips;
    TTestEngine task;
};

} // namespace

TEST_F(EncoderSettings, RateControlOverrideEntriesReachTheEncoder) {
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    task.SetOption("vcodec", "mpeg4");
    task.SetOption("rc_override", "0,100,20/101,200,-50");
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("rc.avi")), 1) << task.LastErrorText();
    const AVCodecContext* enc = task.Encoder(0, 0);
    ASSERT_EQ(enc->rc_override_count, 2);
    EXPECT_EQ(enc->rc_override[0].start_frame, 0);
    EXPECT_EQ(enc->rc_override[0].end_frame, 100);
    EXPECT_EQ(enc->rc_override[0].qscale, 20);
    EXPECT_FLOAT_EQ(enc->rc_override[0].quality_factor, 1.0f);
    EXPECT_EQ(enc->rc_override[1].start_frame, 101);
    EXPECT_EQ(enc->rc_override[1].qscale, 0);
    EXPECT_FLOAT_EQ(enc->rc_override[1].quality_factor, 0.5f);

    task.SetOption("vcodec", "mpeg4");
    task.SetOption("rc_override", "0,100");
    EXPECT_EQ(task.OpenOutputFile(clips.dir.File("bad.avi")), -1);
    EXPECT_EQ(task.LastErrorText(), "new_video_stream fail: error parsing rc_override");
}

TEST_F(EncoderSettings, FrameRateSnapsToTheEncodersListUnlessForced) {
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    task.SetOption("vcodec", "mpeg2video");
    task.SetOption("r", "23");
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("a.mpg")), 1);
    EXPECT_EQ(task.Encoder(0, 0)->time_base.num, 1001);
    EXPECT_EQ(task.Encoder(0, 0)->time_base.den, 24000);
    task.SetOption("vcodec", "mpeg2video");
    task.SetOption("r", "30000/1001");
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("b.mpg")), 2);
    EXPECT_EQ(task.Encoder(1, 0)->time_base.num, 1001);
    EXPECT_EQ(task.Encoder(1, 0)->time_base.den, 30000);
    task.SetOption("force_fps", "1");
    task.SetOption("vcodec", "mpeg2video");
    task.SetOption("r", "23");
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("c.mpg")), 3);
    EXPECT_EQ(task.Encoder(2, 0)->time_base.num, 1);
    EXPECT_EQ(task.Encoder(2, 0)->time_base.den, 23);
}

TEST_F(EncoderSettings, AudioTimeBaseFollowsTheRateTheEncoderRunsAt) {
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    task.SetOption("vn", "1");
    task.SetOption("acodec", "libmp3lame");
    task.SetOption("ar", "22000");
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("a.mp3")), 1);
    EXPECT_EQ(task.Encoder(0, 0)->sample_rate, 22050);
    EXPECT_EQ(task.Encoder(0, 0)->time_base.den, 22050);
}

TEST_F(EncoderSettings, QuantizerAndIntraOnlySettings) {
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    task.SetOption("vcodec", "mpeg4");
    task.SetOption("qscale", "4");
    task.SetOption("intra", "1");
    task.SetOption("vtag", "XVID");
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("q.avi")), 1);
    const AVCodecContext* enc = task.Encoder(0, 0);
    EXPECT_TRUE(enc->flags & AV_CODEC_FLAG_QSCALE);
    EXPECT_EQ(enc->global_quality, 4 * FF_QP2LAMBDA);
    EXPECT_EQ(enc->gop_size, 0);
    EXPECT_EQ(enc->codec_tag, MKTAG('X', 'V', 'I', 'D'));
    ASSERT_TRUE(task.RunThreaded());
    EXPECT_FALSE(task.HasError()) << task.ErrorMessage();
    EXPECT_EQ(ProbeEntry(clips.dir.File("q.avi"), "v:0", "stream=codec_tag_string"), "XVID");
}

TEST_F(EncoderSettings, AnOutputWithoutStreamsIsReported) {
    const std::string in = clips.dir.File("tone.wav");
    testing_support::Ffmpeg("-f lavfi -i sine=duration=1 " + testing_support::ShellQuote(in));
    ASSERT_TRUE(task.OpenInputFile(in));
    task.SetOption("an", "1");
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("empty.mkv")), 1);
    task.Start(false);
    EXPECT_EQ(task.ErrorMessage(), "Output file #0 does not contain any stream");
}

TEST_F(EncoderSettings, StereoIsMixedDownAndResampled) {
    const std::string in = clips.dir.File("stereo.wav");
    testing_support::Ffmpeg("-f lavfi -i sine=frequency=300:sample_rate=48000:duration=2 -ac 2 " +
                            testing_support::ShellQuote(in));
    const std::string out = clips.dir.File("mono.mp3");
    ASSERT_TRUE(task.OpenInputFile(in));
    task.SetOption("ac", "1");
    task.SetOption("ar", "22050");
    ASSERT_EQ(task.OpenOutputFile(out), 1) << task.LastErrorText();
    ASSERT_TRUE(task.RunThreaded());
    EXPECT_FALSE(task.HasError()) << task.ErrorMessage();
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=channels"), "1");
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=sample_rate"), "22050");
    EXPECT_NEAR(testing_support::ProbeDuration(out), 2.0, 0.1);
}

TEST_F(EncoderSettings, DriftIsCompensatedThroughTheResampler) {
    TLogCapture log;
    task.SetVerbose(3);
    task.SetAudioSyncMethod(1000);
    // The audio's time stamps run 1 % fast against its samples.
    task.SetOption("itsscale", "1:1.01");
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(2)));
    task.SetOption("vn", "1");
    task.SetOption("acodec", "pcm_s16le");
    const std::string out = clips.dir.File("drift.wav");
    ASSERT_EQ(task.OpenOutputFile(out), 1);
    ASSERT_TRUE(task.RunThreaded());
    EXPECT_FALSE(task.HasError()) << task.ErrorMessage();
    EXPECT_TRUE(log.Contains("compensating audio timestamp drift:"));
    EXPECT_NEAR(testing_support::ProbeDuration(out), 2.02, 0.012);
}

TEST_F(EncoderSettings, PreviewWindowShowsPicturesAndHandlersMayChangeTheFlags) {
    auto shared = std::make_shared<THeadlessPreviewWindow::Shared>();
    SetPreviewWindowFactory(THeadlessPreviewWindow::Factory(shared));
    task.SetPreviewFlags(PreviewWindowFlag);
    task.S().rate_emu = true;
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    task.SetOption("vcodec", "mpeg4");
    task.SetOption("an", "1");
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("window.mkv")), 1);
    ASSERT_TRUE(task.RunThreaded());
    SetPreviewWindowFactory({});
    EXPECT_FALSE(task.HasError()) << task.ErrorMessage();
    std::lock_guard lock(shared->mutex);
    EXPECT_EQ(shared->windowsCreated, 1);
    EXPECT_GE(shared->drawn, 2); // about ten; fewer on an instrumented build
    EXPECT_EQ(shared->lastWidth, 640);

    // The preview lock is free while a handler runs: it may switch previews off itself.
    task.Reset();
    task.SetVerbose(-1);
    int calls = 0;
    task.SetPreviewFlags(PreviewBitmapFlag);
    task.PreviewBitmapHandler = [&](TCustomFFmpeg& sender, const TBitmap24&, std::int64_t, int) {
        ++calls;
        sender.SetPreviewFlags(0);
    };
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    task.SetOption("vcodec", "mpeg4");
    task.SetOption("an", "1");
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("bitmaps.mkv")), 1);
    ASSERT_TRUE(task.RunThreaded(std::chrono::seconds(30)));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(task.PreviewFlags(), 0);
}

TEST_F(EncoderSettings, StatisticsFileHasALinePerPicture) {
    const std::string stats = clips.dir.File("vstats.log");
    task.SetOption("vstats_file", stats);
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    task.SetOption("vcodec", "mpeg4");
    task.SetOption("an", "1");
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("stats.avi")), 1);
    ASSERT_TRUE(task.RunThreaded());
    EXPECT_FALSE(task.HasError()) << task.ErrorMessage();
    std::ifstream file(stats);
    std::string line;
    int lines = 0;
    while (std::getline(file, line)) {
        ++lines;
        EXPECT_EQ(line.rfind("frame= ", 0), 0u) << line;
        EXPECT_NE(line.find(" type= "), std::string::npos) << line;
    }
    EXPECT_EQ(lines, 25);
}

TEST_F(EncoderSettings, DeinterlacingKeepsEveryPicture) {
    task.SetOption("deinterlace", "1");
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    task.SetOption("vcodec", "mpeg4");
    task.SetOption("an", "1");
    const std::string out = clips.dir.File("deint.avi");
    ASSERT_EQ(task.OpenOutputFile(out), 1);
    ASSERT_TRUE(task.RunThreaded());
    EXPECT_FALSE(task.HasError()) << task.ErrorMessage();
    EXPECT_EQ(CountFrames(out), 25);
}
