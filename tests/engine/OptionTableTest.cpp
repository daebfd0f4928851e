#include "FFmpeg.h"
#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// Opens the task's tables to the tests.
class OptionTask : public TCustomFFmpeg {
public:
    using TCustomFFmpeg::audio_bitstream_filters_;
    using TCustomFFmpeg::metadata_;
    using TCustomFFmpeg::opt_ctx_;
    using TCustomFFmpeg::stream_maps_;
    using TCustomFFmpeg::streamid_map_;
    using TCustomFFmpeg::video_bitstream_filters_;
};

class OptionTable : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        task.Reset();
        LoggerInstance().SetTriggerEventInMainThread(false);
        LoggerInstance().SetOnLog(
            [this](const void*, std::uint32_t, TLogLevel level, const std::string& text) {
                logged.emplace_back(level, text);
            });
    }
    void TearDown() override {
        LoggerInstance().SetOnLog({});
        LoggerInstance().SetTriggerEventInMainThread(true);
    }

    std::string ErrorOf(const std::string& name, const std::string& value) {
        try {
            task.SetOption(name, value);
        } catch (const FFmpegException& e) {
            return e.what();
        }
        return "(no error)";
    }
    bool Logged(TLogLevel level, const std::string& text) const {
        for (const auto& [l, t] : logged) {
            if (l == level && t == text) {
                return true;
            }
        }
        return false;
    }

    OptionTask task;
    std::vector<std::pair<TLogLevel, std::string>> logged;
};

} // namespace

TEST_F(OptionTable, RejectedAndIgnoredOptions) {
    EXPECT_EQ(ErrorOf("threads", "2"), "TODO: option - threads");
    EXPECT_EQ(ErrorOf("padtop", "10"), "Please use vfilters=pad");
    EXPECT_EQ(ErrorOf("padcolor", "000000"), "Please use vfilters=pad");
    EXPECT_EQ(ErrorOf("version", ""), "(no error)");
    EXPECT_TRUE(Logged(llInfo, "Do nothing: option - version"));
    EXPECT_EQ(ErrorOf("timelimit", "10"), "(no error)");
    EXPECT_TRUE(Logged(llWarning, "Warning: -timelimit not implemented on Windows"));
    // A name no row and no library context knows changes nothing and raises nothing.
    EXPECT_EQ(ErrorOf("no_such_option", "1"), "(no error)");
    EXPECT_TRUE(task.opt_ctx_.OptNames().empty());
}

TEST_F(OptionTable, CodecNamesAndStreamCopy) {
    task.SetOption("vcodec", "copy");
    EXPECT_TRUE(task.Pending().video_stream_copy);
    EXPECT_EQ(task.Pending().video_codec_name, "");
    task.SetOption("vcodec", "mpeg4");
    EXPECT_EQ(task.Pending().video_codec_name, "mpeg4");
    EXPECT_TRUE(task.Pending().video_stream_copy); // copy wins until the stream is created
    task.SetOption("acodec", "");
    EXPECT_EQ(task.Pending().audio_codec_name, "");
    task.SetOption("acodec", "libmp3lame");
    EXPECT_EQ(task.Pending().audio_codec_name, "libmp3lame");
}

TEST_F(OptionTable, BitRatesWarnWhenTooLow) {
    task.SetOption("b", "500");
    EXPECT_TRUE(Logged(llWarning, "WARNING: The bitrate parameter is set too low. It takes bits/s "
                                  "as argument, not kbits/s"));
    EXPECT_EQ(task.opt_ctx_.CodecOpts(AVMEDIA_TYPE_VIDEO)->bit_rate, 500);
    logged.clear();
    task.SetOption("b", "500k");
    EXPECT_EQ(task.opt_ctx_.CodecOpts(AVMEDIA_TYPE_VIDEO)->bit_rate, 500000);
    task.SetOption("ab", "128k");
    EXPECT_EQ(task.opt_ctx_.CodecOpts(AVMEDIA_TYPE_AUDIO)->bit_rate, 128000);
    EXPECT_TRUE(logged.empty());
}

TEST_F(OptionTable, AspectRatioForms) {
    task.SetOption("aspect", "16:9");
    EXPECT_FLOAT_EQ(task.Pending().frame_aspect_ratio, 1.7777778f);
    task.SetOption("aspect", "1.5");
    EXPECT_FLOAT_EQ(task.Pending().frame_aspect_ratio, 1.5f);
    EXPECT_EQ(ErrorOf("aspect", "4:0"), "Incorrect aspect ratio specification.");
    EXPECT_EQ(ErrorOf("aspect", "x"), "Incorrect aspect ratio specification.");
    EXPECT_FLOAT_EQ(task.Pending().frame_aspect_ratio, 1.5f);
}

TEST_F(OptionTable, StreamMapsAndStreamIds) {
    task.SetOption("map", "0.1");
    task.SetOption("map", "0:1:1:0");
    task.SetOption("map", "0x1:010");
    ASSERT_EQ(task.stream_maps_.size(), 3u);
    const TStreamMap& a = task.stream_maps_[0];
    EXPECT_EQ(
        (std::array<int, 4>{a.file_index, a.stream_index, a.sync_file_index, a.sync_stream_index}),
        (std::array<int, 4>{0, 1, 0, 1}));
    const TStreamMap& b = task.stream_maps_[1];
    EXPECT_EQ(
        (std::array<int, 4>{b.file_index, b.stream_index, b.sync_file_index, b.sync_stream_index}),
        (std::array<int, 4>{0, 1, 1, 0}));
    EXPECT_EQ(task.stream_maps_[2].file_index, 1);
    EXPECT_EQ(task.stream_maps_[2].stream_index, 8); // octal

    EXPECT_EQ(ErrorOf("streamid", "3"),
              "Invalid value \"3\" for option \"streamid\", required syntax is \"index:value\"");
    EXPECT_EQ(ErrorOf("streamid", "25:4"), "stream index over MAX_STREAMS(20)");
    task.SetOption("streamid", "1:300");
    EXPECT_EQ(task.streamid_map_[1], 300);

    EXPECT_EQ(ErrorOf("itsscale", "25:2.0"), "stream index over MAX_STREAMS(20)");
    task.SetOption("itsscale", "1:2.5");
    EXPECT_DOUBLE_EQ(task.Pending().input_ts_scale[1], 2.5);
    EXPECT_DOUBLE_EQ(task.Pending().input_ts_scale[0], 0);
}

TEST_F(OptionTable, CropBandsAgainstThePendingFrame) {
    task.SetOption("s", "640x480");
    task.SetOption("croptop", "0");
    task.SetOption("croptop", "-4");
    EXPECT_EQ(task.Pending().frame_height, 480);
    EXPECT_EQ(ErrorOf("croptop", "480"),
              "Vertical crop dimensions are outside the range of the original image.\nRemember to "
              "crop first and scale second.");
    EXPECT_EQ(ErrorOf("cropleft", "700"),
              "Horizontal crop dimensions are outside the range of the original image.\nRemember "
              "to crop first and scale second.");
    task.SetOption("croptop", "40");
    EXPECT_EQ(task.Pending().frame_height, 440);
    EXPECT_EQ(task.Pending().frame_topBand, 40);
    EXPECT_TRUE(Logged(llWarning, "CropXXX is deprecated in favor of the crop avfilter"));
}

TEST_F(OptionTable, PixelAndSampleFormats) {
    task.SetOption("pix_fmt", "yuv422p");
    EXPECT_EQ(task.Pending().frame_pix_fmt, AV_PIX_FMT_YUV422P);
    logged.clear();
    task.SetOption("pix_fmt", "list");
    EXPECT_EQ(task.Pending().frame_pix_fmt, AV_PIX_FMT_YUV422P);
    EXPECT_GT(logged.size(), 68u); // a header line, then one line per format
    EXPECT_EQ(logged[1].second.rfind("yuv420p", 0), 0u);
    EXPECT_EQ(ErrorOf("pix_fmt", "nosuch"), "Unknown pixel format requested: nosuch");
    EXPECT_EQ(task.Pending().frame_pix_fmt, -1); // set before raising
    task.SetOption("sample_fmt", "s16");
    EXPECT_EQ(task.Pending().audio_sample_fmt, AV_SAMPLE_FMT_S16);
    task.SetOption("sample_fmt", "bogus");
    EXPECT_EQ(task.Pending().audio_sample_fmt, -1);
}

TEST_F(OptionTable, Matrices) {
    std::string sixtyThree;
    for (int i = 0; i < 63; ++i) {
        sixtyThree += std::to_string(i + 1) + ",";
    }
    sixtyThree.pop_back();
    EXPECT_EQ(ErrorOf("intra_matrix", sixtyThree),
              "Syntax error in matrix \"" + sixtyThree + "\" at coeff 62");
    const std::string seventy = sixtyThree + ",64,65,66,67,68,69,70";
    task.SetOption("inter_matrix", seventy);
    ASSERT_EQ(task.Pending().inter_matrix.size(), 64u);
    EXPECT_EQ(task.Pending().inter_matrix[63], 64);
}

TEST_F(OptionTable, ValuesOfEveryForm) {
    EXPECT_EQ(ErrorOf("t", "abc"), "Invalid duration specification for t: abc");
    task.SetOption("t", "00:00:05.5");
    EXPECT_EQ(task.Pending().recording_time, 5500000);
    EXPECT_EQ(task.TotalDuration(), 5500000);
    task.SetOption("ss", "2");
    EXPECT_EQ(task.Pending().start_time, 2000000);
    EXPECT_EQ(ErrorOf("timestamp", "not a date"),
              "Invalid date specification for timestamp: not a date");
    task.SetOption("timestamp", "2020-01-02 03:04:05Z");
    EXPECT_EQ(task.Pending().recording_timestamp, 1577934245);
    EXPECT_EQ(ErrorOf("vframes", "ten"), "'ten' is not a valid integer value");
    EXPECT_EQ(ErrorOf("adrift_threshold", "x"), "'x' is not a valid floating point value");
    task.SetOption("vn", "0");
    EXPECT_FALSE(task.Pending().video_disable);
    task.SetOption("vn", "yes");
    EXPECT_TRUE(task.Pending().video_disable);
    EXPECT_EQ(ErrorOf("qscale", "0"), "qscale must be > 0.0 and <= 255");
    EXPECT_EQ(ErrorOf("pass", "3"), "pass number can be only 1 or 2");
    EXPECT_EQ(ErrorOf("vtag", "XVI"), "video tag parameter must be 4 chars");
    task.SetOption("vtag", "XVID");
    EXPECT_EQ(task.Pending().video_codec_tag, MKTAG('X', 'V', 'I', 'D'));
    EXPECT_EQ(ErrorOf("r", "abc"), "Incorrect frame rate");
    task.SetOption("r", "30000/1001");
    EXPECT_EQ(task.Pending().frame_rate.num, 30000);
    EXPECT_EQ(ErrorOf("s", "big"), "Incorrect frame size");
    task.SetOption("s", "qcif");
    EXPECT_EQ(task.Pending().frame_width, 176);
    EXPECT_EQ(ErrorOf("metadata", "novalue"), "Missing =");
    task.SetOption("metadata", "title=a=b");
    ASSERT_EQ(task.metadata_.size(), 1u);
    EXPECT_EQ(task.metadata_[0], (std::pair<std::string, std::string>{"title", "a=b"}));
    task.SetOption("ar", "0");
    EXPECT_EQ(task.Pending().audio_sample_rate, 44100);
    task.SetOption("f", "pgmyuv");
    EXPECT_EQ(task.Pending().file_format, "image2");
    EXPECT_TRUE(Logged(llInfo, "pgmyuv format is deprecated, use image2"));
}

TEST_F(OptionTable, BitstreamFilterChains) {
    EXPECT_EQ(ErrorOf("vbsf", " nosuch_bsf "), "Unknown bitstream filter nosuch_bsf");
    task.SetOption("vbsf", "h264_mp4toannexb");
    task.SetOption("absf", "=ignored");
    task.SetOption("absf", "aac_adtstoasc");
    EXPECT_EQ(task.video_bitstream_filters_, (std::vector<std::string>{"h264_mp4toannexb"}));
    EXPECT_EQ(task.audio_bitstream_filters_, (std::vector<std::string>{"aac_adtstoasc"}));
}

TEST_F(OptionTable, FrameHookThatCannotLoadFailsTheOption) {
    EXPECT_EQ(ErrorOf("vhook", "/nonexistent/libhook.so  -x 1"),
              "Failed to add video hook function: /nonexistent/libhook.so  -x 1");
}

TEST_F(OptionTable, StreamOptionsNeedAnOutput) {
    EXPECT_EQ(ErrorOf("newvideo", ""), "At least one output file must be specified");
    EXPECT_EQ(ErrorOf("newaudio", ""), "At least one output file must be specified");
}
