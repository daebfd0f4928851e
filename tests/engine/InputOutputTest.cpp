// Opening inputs and outputs: pending settings taken from the input, container choice, stream
// creation and refusals.

#include "EngineTestSupport.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"

#include <filesystem>

using namespace engine_test;
using testing_support::MakeClip;

namespace {

class InputOutput : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        task.Reset();
        task.SetVerbose(-1); // keep the library's file descriptions out of the test log
    }
    TClipSet clips;
    TTestEngine task;
};

} // namespace

TEST_F(InputOutput, OpeningAnInputSetsThePendingSettingsFromItsStreams) {
    const std::string in = clips.Mp4(2);
    ASSERT_TRUE(task.OpenInputFile(in)) << task.LastErrorText();
    EXPECT_EQ(task.InputFileCount(), 1);
    EXPECT_EQ(task.Pending().frame_width, 640);
    EXPECT_EQ(task.Pending().frame_height, 480);
    EXPECT_FLOAT_EQ(task.Pending().frame_aspect_ratio, 1.3333334f);
    EXPECT_EQ(task.Pending().frame_pix_fmt, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(task.Pending().frame_rate.num, 25);
    EXPECT_EQ(task.Pending().frame_rate.den, 1);
    EXPECT_EQ(task.Pending().audio_sample_rate, 44100);
    EXPECT_EQ(task.Pending().audio_channels, 1);
    EXPECT_NEAR(task.TotalDuration(), 2000000, 100000);

    // A shorter second file leaves the expected length alone.
    const std::string shorter = clips.Mp4(1, "short.mp4");
    ASSERT_TRUE(task.OpenInputFile(shorter));
    EXPECT_NEAR(task.TotalDuration(), 2000000, 100000);
}

TEST_F(InputOutput, AnamorphicPalInputGivesFourToThree) {
    const std::string in = clips.dir.File("pal.mkv");
    MakeClip(in, 1, 720, 576, 25, 0, "-c:v mpeg4 -vf setsar=16/15");
    ASSERT_TRUE(task.OpenInputFile(in)) << task.LastErrorText();
    EXPECT_FLOAT_EQ(task.Pending().frame_aspect_ratio, 1.3333334f);
}

TEST_F(InputOutput, FailedOpensSayWhyAndChangeNothing) {
    const std::string missing = clips.dir.File("missing.mp4");
    EXPECT_FALSE(task.OpenInputFile(missing));
    EXPECT_EQ(task.LastErrorText(), ErrorText(missing, AVERROR(ENOENT)));
    EXPECT_EQ(task.InputFileCount(), 0);

    const std::string in = clips.Mp4(1);
    task.VideoCodec("libx264"); // an encoder only
    EXPECT_FALSE(task.OpenInputFile(in));
    EXPECT_EQ(task.LastErrorText(), "Unknown decoder 'libx264'");
    EXPECT_TRUE(task.Pending().video_codec_name.empty());

    task.Format("nosuchdemuxer");
    try {
        task.OpenInputFile(in);
        FAIL() << "an unknown input format must raise";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Unknown input format: \"nosuchdemuxer\"");
    }
    task.Format("");

    task.P().opt_programid = 7;
    EXPECT_FALSE(task.OpenInputFile(in));
    EXPECT_EQ(task.LastErrorText(), "Specified program id not found");
    EXPECT_EQ(task.InputFileCount(), 0);
}

TEST_F(InputOutput, StartPositionMovesTheInputOffset) {
    const std::string in = clips.Mp4(4);
    task.SetStartTime(2000000);
    ASSERT_TRUE(task.OpenInputFile(in));
    EXPECT_EQ(task.Pending().start_time, 0); // consumed by the seek
}

TEST_F(InputOutput, OutputGetsTheFormatsStreamsWithTheInputsParameters) {
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    const std::string out = clips.dir.File("out.avi");
    ASSERT_EQ(task.OpenOutputFile(out), 1) << task.LastErrorText();
    // Pending per-stream settings were consumed by the streams.
    EXPECT_EQ(task.Pending().frame_pix_fmt, -1);
    EXPECT_TRUE(FileExists(out)); // opened for writing
}

TEST_F(InputOutput, DisabledAudioStaysOffForTheNextOutput) {
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    task.SetAudioDisable(true);
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("a.mp4")), 1);
    EXPECT_TRUE(task.Pending().audio_disable);
    EXPECT_FALSE(task.Pending().video_disable);
}

TEST_F(InputOutput, UnknownOrUnguessableFormatsAreRefused) {
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    task.Format("nosuch");
    EXPECT_EQ(task.OpenOutputFile(clips.dir.File("x.mp4")), -1);
    EXPECT_EQ(task.LastErrorText(),
              "Requested output format 'nosuch' is not a suitable output format");
    EXPECT_EQ(task.Pending().file_format, "nosuch"); // only a format that was found is consumed
    task.Format("");
    const std::string odd = clips.dir.File("x.nosuchextension");
    EXPECT_EQ(task.OpenOutputFile(odd), -1);
    EXPECT_EQ(task.LastErrorText(), "Unable to find a suitable output format for '" + odd + "'");
    EXPECT_EQ(task.OutputFileCount(), 0);
}

TEST_F(InputOutput, AnOutputThatIsAnInputIsRefusedAndTheInputKept) {
    const std::string in = clips.Mp4(1);
    const std::string before = Md5(in);
    ASSERT_TRUE(task.OpenInputFile(in));
    EXPECT_EQ(task.OpenOutputFile(in), -1);
    EXPECT_EQ(task.LastErrorText(), Format(enginemsg::OutputIsInput, in.c_str(), 0));
    // Another name for the same file is the same file.
    const std::string link = clips.dir.File("link.mp4");
    std::filesystem::create_symlink(in, link);
    EXPECT_EQ(task.OpenOutputFile(clips.dir.Path() + "/./link.mp4"), -1);
    EXPECT_EQ(task.OutputFileCount(), 0);
    EXPECT_EQ(Md5(in), before);
    EXPECT_EQ(FileSizeOf(in) > 0, true);
}

TEST_F(InputOutput, JoinSumsTheInputsAndRefusesASecondOutput) {
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1, "a.mp4")));
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(2, "b.mp4")));
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("joined.mp4"), true), 2);
    EXPECT_TRUE(task.JoinMode());
    EXPECT_NEAR(task.TotalDuration(), 3000000, 150000);
    EXPECT_EQ(task.OpenOutputFile(clips.dir.File("second.mp4")), -1);
    EXPECT_EQ(task.LastErrorText(), "Cannot join more than one output file.");
}

TEST_F(InputOutput, AudioSampleRateSnapsToTheEncodersList) {
    TLogCapture log(llWarning);
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1)));
    task.SetAudioSampleRate(22050);
    task.AudioCodec("libmp3lame");
    task.SetVideoDisable(true);
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("a.mp3")), 1) << task.LastErrorText();
    EXPECT_FALSE(log.Contains("Requested sampling rate unsupported"));
    task.SetAudioSampleRate(22000);
    task.AudioCodec("libmp3lame");
    task.SetVideoDisable(true);
    ASSERT_EQ(task.OpenOutputFile(clips.dir.File("b.mp3")), 2) << task.LastErrorText();
    EXPECT_TRUE(
        log.Contains("Requested sampling rate unsupported using closest supported (22050)"));
}
