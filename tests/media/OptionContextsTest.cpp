#include "OptionContexts.h"
#include "FFmpegLogger.h"
#include "MediaPtr.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

class OptionContextsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        opts.InitContexts(SWS_BICUBIC);
    }
    TOptionContexts opts;
};

TEST_F(OptionContextsTest, GenericCodecOptionsLandOnTheirTypes) {
    EXPECT_TRUE(opts.SetDefaultOption("g", "12"));
    EXPECT_EQ(opts.CodecOpts(AVMEDIA_TYPE_VIDEO)->gop_size, 12);
    EXPECT_TRUE(opts.SetDefaultOption("ar", "22050"));
    EXPECT_EQ(opts.CodecOpts(AVMEDIA_TYPE_AUDIO)->sample_rate, 22050);
    EXPECT_TRUE(opts.SetDefaultOption("packetsize", "2324")); // a format option
    EXPECT_EQ(opts.FormatOpts()->packet_size, 2324u);
    EXPECT_EQ(opts.OptNames(), (std::vector<std::string>{"g", "ar", "packetsize"}));
}

TEST_F(OptionContextsTest, PrefixedNameFallsBackToTheTypeContext) {
    // No context knows "vb": the video context gets "b".
    EXPECT_TRUE(opts.SetDefaultOption("vb", "800k"));
    EXPECT_EQ(opts.CodecOpts(AVMEDIA_TYPE_VIDEO)->bit_rate, 800000);
    EXPECT_TRUE(opts.SetDefaultOption("ab", "128k"));
    EXPECT_EQ(opts.CodecOpts(AVMEDIA_TYPE_AUDIO)->bit_rate, 128000);
}

TEST_F(OptionContextsTest, EmptyUnknownAndRefusedValuesFail) {
    EXPECT_FALSE(opts.SetDefaultOption("", "1"));
    EXPECT_FALSE(opts.SetDefaultOption("g", "  "));
    EXPECT_FALSE(opts.SetDefaultOption("no_such_option_anywhere", "1"));
    std::vector<std::string> logged;
    LoggerInstance().SetTriggerEventInMainThread(false);
    LoggerInstance().SetOnLog(
        [&](const void*, std::uint32_t, TLogLevel, const std::string& t) { logged.push_back(t); });
    EXPECT_FALSE(opts.SetDefaultOption("g", "twelve"));
    LoggerInstance().SetOnLog({});
    LoggerInstance().SetTriggerEventInMainThread(true);
    EXPECT_NE(std::find(logged.begin(), logged.end(), "Invalid value \"twelve\" for option \"g\""),
              logged.end());
    EXPECT_TRUE(opts.OptNames().empty());
}

TEST_F(OptionContextsTest, ApplyCopiesOnlyOptionsWithAllFlags) {
    ASSERT_TRUE(opts.SetDefaultOption("g", "7"));
    ASSERT_TRUE(opts.SetDefaultOption("ar", "8000"));
    media::CodecContextPtr video(fn::avcodec_alloc_context3(nullptr));
    opts.ApplyContextOptions(video.get(), opts.CodecOpts(AVMEDIA_TYPE_VIDEO),
                             AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    EXPECT_EQ(video->gop_size, 7);
    EXPECT_EQ(video->sample_rate, 0); // "ar" is an audio option
}

TEST_F(OptionContextsTest, EncoderPrivateOptionsWaitForTheirEncoder) {
    EXPECT_TRUE(opts.SetDefaultOption("preset", "veryfast"));
    media::Dictionary x264;
    opts.CopyCodecPrivateOptions(AVMEDIA_TYPE_VIDEO, fn::avcodec_find_encoder_by_name("libx264"),
                                 x264.Slot());
    ASSERT_NE(fn::av_dict_get(x264.Get(), "preset", nullptr, 0), nullptr);
    EXPECT_STREQ(fn::av_dict_get(x264.Get(), "preset", nullptr, 0)->value, "veryfast");
    media::Dictionary mpeg4;
    opts.CopyCodecPrivateOptions(AVMEDIA_TYPE_VIDEO, fn::avcodec_find_encoder_by_name("mpeg4"),
                                 mpeg4.Slot());
    EXPECT_EQ(fn::av_dict_count(mpeg4.Get()), 0);
}

TEST_F(OptionContextsTest, FlagsKeepTheTargetsOwnDefaults) {
    ASSERT_TRUE(opts.SetDefaultOption("flags", "+global_header"));
    // libx264 starts with closed GOPs; setting another flag must not clear that.
    media::CodecContextPtr x264(
        fn::avcodec_alloc_context3(fn::avcodec_find_encoder_by_name("libx264")));
    ASSERT_TRUE(x264->flags & AV_CODEC_FLAG_CLOSED_GOP);
    opts.ApplyContextOptions(x264.get(), opts.CodecOpts(AVMEDIA_TYPE_VIDEO),
                             AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    EXPECT_TRUE(x264->flags & AV_CODEC_FLAG_GLOBAL_HEADER);
    EXPECT_TRUE(x264->flags & AV_CODEC_FLAG_CLOSED_GOP);
}
