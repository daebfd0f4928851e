#include "MediaUtils.h"
#include "FFmpegException.h"
#include "LibraryFunctions.h"
#include "MediaPtr.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(MediaText, FormatDuration) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {3723004000LL, "01:02:03.004"},
        {100LL * 3600 * 1000000, "100:00:00.000"},
        {0, "00:00:00.000"},
        {999999, "00:00:00.999"},
        {NoTimestamp, "N/A"},
    };
    for (const auto& [us, text] : cases) {
        EXPECT_EQ(FormatDuration(us), text) << us;
    }
}

TEST(MediaText, FormatSize) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {1024, "1024 Byte"},
        {1025, "1.00 KB"},
        {1048576, "1024.00 KB"},
        {1048577, "1.00 MB"},
        {1073741824, "1024.00 MB"},
        {1073741825, "1.00 GB"},
        {-5, "-5 Byte"},
        {0, "0 Byte"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(FormatSize(bytes), text) << bytes;
    }
}

TEST(MediaText, ErrorText) {
    testing_support::RequireEncoderLibraries();
    EXPECT_EQ(ErrorText("/tmp/a.avi", -2), "/tmp/a.avi: No such file or directory");
    EXPECT_EQ(ErrorText("x", AVERROR_INVALIDDATA), "x: Invalid data found when processing input");
    EXPECT_EQ(ErrorText("x", AVERROR(EDOM)), "x: Number syntax expected in filename");
    EXPECT_EQ(ErrorText("x", AVERROR_EOF), "x: End of file");
    EXPECT_EQ(ErrorText("x", AVERROR(ENOMEM)), "x: Not enough memory");
    EXPECT_EQ(ErrorText("x", AVERROR_PATCHWELCOME), "x: Not yet implemented in FFmpeg");
    EXPECT_EQ(ErrorText("x", -123456), "x: Error number -123456 occurred");
}

// The engine and the player make their filters through one helper, whose failures say which
// filter, with which arguments, and why.
TEST(MediaText, GraphFiltersSayWhichFilterFailed) {
    testing_support::RequireEncoderLibraries();
    media::FilterGraphPtr graph(fn::avfilter_graph_alloc());
    ASSERT_TRUE(graph);
    AVFilterContext* made = nullptr;
    std::string error;
    EXPECT_EQ(AddGraphFilter(graph.get(), "nosuchfilter", "x", "", &made, error),
              AVERROR_FILTER_NOT_FOUND);
    EXPECT_EQ(error, "No such filter: 'nosuchfilter'");
    EXPECT_LT(AddGraphFilter(graph.get(), "scale", "s", "bogus=1", &made, error), 0);
    EXPECT_EQ(error.rfind("scale=bogus=1: ", 0), 0U) << error;
    error.clear();
    ASSERT_EQ(AddGraphFilter(graph.get(), "null", "n", "", &made, error), 0) << error;
    EXPECT_NE(made, nullptr);
    EXPECT_TRUE(error.empty());
}

TEST(MediaText, CodecDescription) {
    testing_support::RequireEncoderLibraries();
    EXPECT_EQ(CodecDescription(AV_CODEC_ID_NONE, MKTAG('X', 'V', 'I', 'D'), false),
              "XVID / 0x44495658");
    EXPECT_EQ(CodecDescription(AV_CODEC_ID_NONE, 0x01020304, false), "0x1020304");
    EXPECT_EQ(CodecDescription(AV_CODEC_ID_MPEG2TS, 0, false), "mpeg2ts");
    EXPECT_EQ(CodecDescription(AV_CODEC_ID_MPEG4, 0, true), "mpeg4(MPEG-4 part 2)");
    EXPECT_EQ(CodecTypeName(AVMEDIA_TYPE_VIDEO), "Video");
    EXPECT_EQ(CodecTypeName(AVMEDIA_TYPE_ATTACHMENT), "Attachment");
    EXPECT_EQ(CodecTypeName(7), "Unknown");
}

TEST(MediaText, SplitFirst) {
    std::string text = "a=b=c";
    EXPECT_EQ(SplitFirst(text, '=', true), "a");
    EXPECT_EQ(text, "b=c");
    std::string none = "abc";
    EXPECT_EQ(SplitFirst(none, '=', true), "abc");
    EXPECT_EQ(none, "");
    std::string keep = "k=v";
    EXPECT_EQ(SplitFirst(keep, '=', false), "k");
    EXPECT_EQ(keep, "k=v");
    EXPECT_EQ(SplitText("a,,b,", ','), (std::vector<std::string>{"a", "", "b", ""}));
}

TEST(MediaText, NumberConversions) {
    EXPECT_EQ(StrToInt(" 42 "), 42);
    EXPECT_DOUBLE_EQ(StrToFloat("29.97"), 29.97);
    try {
        StrToInt("12a");
        FAIL();
    } catch (const FFmpegException& e) {
        EXPECT_STREQ(e.what(), "'12a' is not a valid integer value");
    }
    try {
        StrToFloat("1,5");
        FAIL();
    } catch (const FFmpegException& e) {
        EXPECT_STREQ(e.what(), "'1,5' is not a valid floating point value");
    }
    int v = 0;
    EXPECT_FALSE(TryStrToInt("99999999999", v));
}

TEST(MediaText, DateTimesRoundTrip) {
    const std::int64_t t = 1700000000;
    const double local = UnixToLocalDateTime(t);
    EXPECT_EQ(LocalDateTimeToUnix(local), t);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", 25569.5 + 1.0 / 86400), "1970-01-01 12:00:01");
}

TEST(MediaFiles, SizesAndWholeFiles) {
    testing_support::TempDir dir;
    std::ofstream(dir.File("a.txt")) << "hello";
    EXPECT_EQ(FileSizeOf(dir.File("a.txt")), 5);
    EXPECT_EQ(FileSizeOf(dir.File("missing")), -1);
    EXPECT_EQ(FileSizeOf(dir.Path()), -1);
    std::vector<char> buffer;
    ASSERT_EQ(ReadWholeFile(dir.File("a.txt"), buffer), 0);
    ASSERT_EQ(buffer.size(), 6u);
    EXPECT_STREQ(buffer.data(), "hello");
    EXPECT_EQ(ReadWholeFile(dir.File("missing"), buffer), -1);
}
