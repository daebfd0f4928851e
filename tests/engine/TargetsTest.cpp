#include "EngineTestTask.h"
#include "FFmpegException.h"
#include "MediaUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

class Targets : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        task.Reset();
    }

    std::string ErrorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const FFmpegException& e) {
            return e.what();
        }
        return "(no error)";
    }
    std::int64_t Generic(const char* name, int type = AVMEDIA_TYPE_VIDEO) const {
        std::int64_t value = -12345;
        fn::av_opt_get_int(task.opt_ctx_.CodecOpts(type), name, 0, &value);
        return value;
    }
    std::int64_t FormatGeneric(const char* name) const {
        std::int64_t value = -12345;
        fn::av_opt_get_int(task.opt_ctx_.FormatOpts(), name, 0, &value);
        return value;
    }
    std::string MuxerOption(const char* muxer, const char* option) const {
        const AVOutputFormat* format = fn::av_guess_format(muxer, nullptr, nullptr);
        AVDictionary* options = nullptr;
        task.opt_ctx_.CopyFormatPrivateOptions(format->priv_class, &options);
        const AVDictionaryEntry* entry = fn::av_dict_get(options, option, nullptr, 0);
        std::string value = entry != nullptr ? entry->value : "(none)";
        fn::av_dict_free(&options);
        return value;
    }
    void ExpectRate(int num, int den) const {
        EXPECT_EQ(task.Pending().frame_rate.num, num);
        EXPECT_EQ(task.Pending().frame_rate.den, den);
    }
    void ExpectSize(int width, int height) const {
        EXPECT_EQ(task.Pending().frame_width, width);
        EXPECT_EQ(task.Pending().frame_height, height);
    }
    // Opens a generated clip of the given frame rate as the task's input.
    bool OpenClip(const std::string& rate) {
        const std::string path = dir.File("clip-" + std::to_string(clips++) + ".mp4");
        testing_support::Ffmpeg("-f lavfi -i testsrc=duration=1:size=160x120:rate=" + rate +
                                " -c:v mpeg4 " + testing_support::ShellQuote(path));
        return task.OpenInputFile(path);
    }

    TEngineTestTask task;
    testing_support::TempDir dir;
    int clips = 0;
};

} // namespace

TEST_F(Targets, PalDvd) {
    TLogCapture log(llVerbose);
    task.SetOption("target", "pal-dvd");
    const TPendingSettings& p = task.Pending();
    EXPECT_EQ(p.file_format, "dvd");
    EXPECT_EQ(p.video_codec_name, "mpeg2video");
    EXPECT_EQ(p.audio_codec_name, "ac3");
    ExpectSize(720, 576);
    ExpectRate(25, 1);
    EXPECT_EQ(Generic("g"), 15);
    EXPECT_EQ(Generic("b"), 6000000);
    EXPECT_EQ(Generic("maxrate"), 9000000);
    EXPECT_EQ(Generic("minrate"), 0);
    EXPECT_EQ(Generic("bufsize"), 1835008);
    EXPECT_EQ(Generic("b", AVMEDIA_TYPE_AUDIO), 448000);
    EXPECT_EQ(p.audio_sample_rate, 48000);
    EXPECT_EQ(p.audio_channels, 2);
    EXPECT_EQ(FormatGeneric("packetsize"), 2048);
    EXPECT_EQ(MuxerOption("dvd", "muxrate"), "10080000");
    EXPECT_FLOAT_EQ(p.frame_aspect_ratio, 16.0f / 9.0f);
    EXPECT_TRUE(log.Has(llInfo, "Assuming 16:9 for aspect ratio"));
    // The norm was given: nothing was assumed about it.
    EXPECT_TRUE(log.Find("for target.").empty());
    // What the target set opens the encoders it names.
    EXPECT_EQ(OpenEncoder(task, "mpeg2video", 720, 576).result, 0);
    EXPECT_EQ(OpenEncoder(task, "ac3").result, 0);
}

TEST_F(Targets, NtscVcdAndSvcd) {
    TLogCapture log(llVerbose);
    task.SetAudioChannels(6);
    task.SetOption("target", "ntsc-vcd");
    EXPECT_EQ(task.Pending().file_format, "vcd");
    EXPECT_EQ(task.Pending().video_codec_name, "mpeg1video");
    EXPECT_EQ(task.Pending().audio_codec_name, "mp2");
    ExpectSize(352, 240);
    ExpectRate(30000, 1001);
    EXPECT_EQ(Generic("g"), 18);
    EXPECT_EQ(Generic("minrate"), 1150000);
    EXPECT_EQ(Generic("bufsize"), 327680);
    EXPECT_EQ(Generic("b", AVMEDIA_TYPE_AUDIO), 224000);
    EXPECT_EQ(task.Pending().audio_sample_rate, 44100);
    EXPECT_EQ(task.Pending().audio_channels, 2); // always stereo on a VCD
    EXPECT_FLOAT_EQ(task.Pending().mux_preload, 0.44f);
    EXPECT_EQ(FormatGeneric("packetsize"), 2324);
    EXPECT_EQ(MuxerOption("vcd", "muxrate"), "1411200");
    EXPECT_FLOAT_EQ(task.Pending().frame_aspect_ratio, 4.0f / 3.0f);
    EXPECT_TRUE(log.Has(llInfo, "Assuming 4:3 for aspect ratio"));

    task.Reset();
    task.SetAudioChannels(6);
    task.SetOption("aspect", "16:9");
    log.Clear();
    task.SetOption("target", "pal-svcd");
    ExpectSize(480, 576);
    EXPECT_EQ(task.Pending().audio_channels, 6);                      // only mono becomes stereo
    EXPECT_FLOAT_EQ(task.Pending().frame_aspect_ratio, 16.0f / 9.0f); // a given aspect stays
    EXPECT_TRUE(log.Find("aspect ratio").empty());
    EXPECT_EQ(Generic("maxrate"), 2516000);
    EXPECT_EQ(MuxerOption("svcd", "muxrate"), "(none)");
    // The old scan-offset flag reaches the MPEG-2 encoder, which opens with it.
    EXPECT_EQ(PrivateOption(task, "mpeg2video", "scan_offset"), "1");
    const TOpenedEncoder opened = OpenEncoder(task, "mpeg2video", 480, 576);
    EXPECT_EQ(opened.result, 0);
    EXPECT_TRUE(opened.unused.empty());

    task.Reset();
    task.SetAudioChannels(1);
    task.SetOption("target", "film-dvd");
    EXPECT_EQ(task.Pending().audio_channels, 2);
    ExpectSize(720, 480);
    ExpectRate(24000, 1001);
}

TEST_F(Targets, DvPixelFormats) {
    task.SetOption("target", "pal-dv50");
    EXPECT_EQ(task.Pending().frame_pix_fmt, AV_PIX_FMT_YUV422P);
    EXPECT_EQ(task.Pending().file_format, "dv");
    EXPECT_TRUE(task.Pending().video_codec_name.empty()); // the format decides the codecs
    ExpectSize(720, 576);
    ExpectRate(25, 1);
    EXPECT_EQ(task.Pending().audio_sample_rate, 48000);

    task.Reset();
    task.SetTarget("dv", "ntsc", "pal");
    EXPECT_EQ(task.Pending().frame_pix_fmt, AV_PIX_FMT_YUV411P);
    ExpectSize(720, 480);
    ExpectRate(30000, 1001);
    task.SetTarget("dv", "pal", "ntsc");
    EXPECT_EQ(task.Pending().frame_pix_fmt, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(task.opt_ctx_.OptNameCount(), 0); // dv sets no generic options
}

TEST_F(Targets, AutomaticNormNeedsAFrameRate) {
    EXPECT_EQ(ErrorOf([&] { task.SetOption("target", "vcd"); }), "frame_rate is invalid.");
    EXPECT_EQ(task.Pending().file_format, "");
    EXPECT_EQ(task.opt_ctx_.OptNameCount(), 0);

    EXPECT_EQ(ErrorOf([&] { task.SetOption("target", "pal-bluray"); }), "Unknown target type");
    EXPECT_EQ(ErrorOf([&] { task.SetTarget("", "ntsc", "ntsc"); }), "Unknown target type");
    EXPECT_EQ(task.Pending().file_format, "");
    EXPECT_EQ(task.Pending().frame_width, 0);
}

TEST_F(Targets, AutomaticNormFromThePendingRateOrTheFallback) {
    TLogCapture log(llVerbose);
    task.SetOption("r", "25");
    task.SetOption("target", "dvd");
    ExpectSize(720, 576);
    EXPECT_EQ(Generic("g"), 15);
    EXPECT_TRUE(log.Has(llVerbose, "Assuming PAL for target."));

    // 15 fps says nothing: the fallback decides, "ntsc" for the option form.
    task.Reset();
    log.Clear();
    task.SetOption("r", "15");
    task.SetOption("target", "dvd");
    ExpectSize(720, 480);
    ExpectRate(30000, 1001);
    EXPECT_EQ(Generic("g"), 18);
    EXPECT_TRUE(log.Has(llVerbose, "Assuming NTSC for target."));
    task.SetOption("r", "15");
    task.SetTarget("dvd", "auto", "pal");
    ExpectSize(720, 576);
    task.SetOption("r", "15");
    task.SetTarget("dvd", "", "film");
    ExpectRate(24000, 1001);

    // Film rates count as NTSC; no message without verbosity.
    task.Reset();
    log.Clear();
    task.SetOption("v", "0");
    task.SetOption("r", "24000/1001");
    task.SetOption("target", "svcd");
    ExpectSize(480, 480);
    ExpectRate(30000, 1001);
    EXPECT_TRUE(log.Find("for target.").empty());
}

TEST_F(Targets, DvdAfterAnNtscInput) {
    TLogCapture log(llVerbose);
    ASSERT_TRUE(OpenClip("30000/1001")) << task.LastErrorText();
    task.SetOption("target", "dvd");
    ExpectSize(720, 480);
    ExpectRate(30000, 1001);
    EXPECT_TRUE(log.Has(llVerbose, "Assuming NTSC for target."));

    // A pending rate that says nothing leaves the decision to the input's video stream.
    task.SetOption("r", "15");
    task.SetTarget("dvd", "auto", "pal");
    ExpectSize(720, 480);
}

TEST_F(Targets, DvdAfterAFifteenFpsInputFallsBack) {
    ASSERT_TRUE(OpenClip("15")) << task.LastErrorText();
    task.SetTarget("dvd", "auto", "pal");
    ExpectSize(720, 576);
    ExpectRate(25, 1);
    task.SetOption("r", "15"); // the target left PAL's rate pending
    task.SetOption("target", "dvd");
    ExpectSize(720, 480);
    ExpectRate(30000, 1001);
}

// The disc muxers read the video buffer size from the stream, as the ffmpeg tool hands it over:
// the program stream's system header (rate and buffer bounds) comes out the same, and the muxer
// no longer falls back to its default buffer size.
TEST_F(Targets, DiscOutputsCarryTheEncodersBufferSize) {
    const std::string clip = dir.File("disc.mp4");
    testing_support::MakeClip(clip, 1, 320, 240, 25, 44100, "-c:v mpeg4 -c:a aac");
    const auto systemHeader = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
        const size_t at = bytes.find(std::string("\x00\x00\x01\xbb", 4));
        if (at == std::string::npos || at + 6 > bytes.size()) {
            return std::string("(none)");
        }
        const size_t length = (static_cast<unsigned char>(bytes[at + 4]) << 8) |
                              static_cast<unsigned char>(bytes[at + 5]);
        return bytes.substr(at, 6 + length);
    };
    for (const char* target : {"pal-vcd", "pal-svcd", "pal-dvd"}) {
        const std::string ours = dir.File(std::string(target) + ".mpg");
        const std::string theirs = dir.File(std::string(target) + "-tool.mpg");
        const auto r =
            testing_support::RunCommand(testing_support::ShellQuote(TRANSCODE_PROGRAM) + " -i " +
                                        testing_support::ShellQuote(clip) + " -target " + target +
                                        " " + testing_support::ShellQuote(ours));
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(r.output.find("VBV buffer size not set"), std::string::npos) << target;
        testing_support::Ffmpeg("-i " + testing_support::ShellQuote(clip) + " -target " + target +
                                " " + testing_support::ShellQuote(theirs));
        EXPECT_EQ(systemHeader(ours), systemHeader(theirs)) << target;
    }
}
