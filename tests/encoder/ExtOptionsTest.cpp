#include "ExtOptions.h"
#include "EncoderOptions.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::pair<std::string, std::string>>;

TEST(ExtOptions, EveryLineBreakStyleAndTheCrlfLiteral) {
    EXPECT_EQ(ParseExtOptions("vn=1<CRLF>b=800k"), (Lines{{"vn", "1"}, {"b", "800k"}}));
    EXPECT_EQ(ParseExtOptions("a=1\r\nb=2\rc=3\nd=4"),
              (Lines{{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}));
    EXPECT_EQ(ParseExtOptions("  \n VCodec=mpeg4=x \n\nb=1 "),
              (Lines{{"vcodec", "mpeg4=x "}, {"b", "1"}}));
    EXPECT_EQ(ParseExtOptions("newvideo<CRLF>S=320x240"),
              (Lines{{"newvideo", ""}, {"s", "320x240"}}));
    EXPECT_TRUE(ParseExtOptions("   ").empty());
}

TEST(EncoderOptions, RecordDefaults) {
    TOutputOptions o;
    o.AudioCodec = "mp3";
    o.CropTop = 8;
    InitOutputOptions(o);
    EXPECT_EQ(o.AudioCodec, "");
    EXPECT_EQ(o.CropTop, -1);
    EXPECT_EQ(o.VideoSyncMethod, -1);
    EXPECT_EQ(o.AudioSyncMethod, 0);
    EXPECT_EQ(o.TargetDefaultNorm, 1);
    EXPECT_EQ(o.StartTime, NoTimestamp);
    EXPECT_DOUBLE_EQ(o.Metadata.Timestamp, -1.0);
    TInputOptions i;
    i.ProgramID = 3;
    InitInputOptions(i);
    EXPECT_EQ(i.ProgramID, -1);
    EXPECT_EQ(i.StartTime, NoTimestamp);
}
