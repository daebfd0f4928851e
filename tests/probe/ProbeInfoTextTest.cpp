#include "AVProbe.h"
#include "ProbeTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

using probe_testing::SplitLines;
using testing_support::Ffmpeg;
using testing_support::ProbeEntry;
using testing_support::RequireEncoderLibraries;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

using Lines = std::vector<std::string>;

// The description as lines, after checking that every line ends with CR LF and holds no other
// line break.
Lines InfoLines(TCustomAVProbe& probe) {
    const std::string text = probe.GetInfoText();
    const Lines lines = SplitLines(text);
    size_t total = 0;
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        total += line.size() + 2;
    }
    EXPECT_EQ(total, text.size()) << "text does not end with CR LF";
    return lines;
}

// hh:mm:ss.mmm of ffprobe's seconds.
std::string ClockText(const std::string& seconds) {
    const long long ms = std::llround(std::atof(seconds.c_str()) * 1e6) / 1000;
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return text;
}

long IndexOf(const Lines& lines, const std::string& line) {
    const auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : static_cast<long>(it - lines.begin());
}

long IndexStarting(const Lines& lines, const std::string& prefix) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(prefix, 0) == 0) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool AnyEndsWith(const Lines& lines, const std::string& tail) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return EndsWith(l, tail); });
}

// ffprobe lists the streams of a program twice: once under the program, once on their own.
std::string StreamEntry(const std::string& path, const std::string& selector,
                        const std::string& entry) {
    const std::string text = ProbeEntry(path, selector, entry);
    return text.substr(0, text.find('\n'));
}

// "Stream #i[0xid](lang), tb: " as ffprobe sees the stream.
std::string StreamHead(const std::string& path, int index, bool withId) {
    const std::string sel = std::to_string(index);
    std::string head = "Stream #" + sel;
    if (withId) {
        head += "[" + StreamEntry(path, sel, "stream=id") + "]";
    }
    const std::string language = StreamEntry(path, sel, "stream_tags=language");
    if (!language.empty()) {
        head += "(" + language + ")";
    }
    return head + ", " + StreamEntry(path, sel, "stream=time_base") + ": ";
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(ProbeInfoText, ContainerLinesAndStreamLinesOfAnMp4) {
    RequireEncoderLibraries();
    ::setenv("TZ", "JST-9", 1); // a fixed zone nine hours east of UTC, no daylight saving
    ::tzset();
    TempDir dir;
    const std::string path = dir.File("tagged.mp4");
    probe_testing::MakeVideoAudio(path, "-c:v mpeg4 -c:a aac", "25",
                                  "-metadata title='My Title' -metadata artist='Some Artist' "
                                  "-metadata creation_time=2020-01-02T03:04:05Z");
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path)) << probe.LastErrorText();
    const Lines lines = InfoLines(probe);
    ASSERT_GE(lines.size(), 10u);

    const long long size = std::atoll(ProbeEntry(path, "", "format=size").c_str());
    ASSERT_GT(size, 1024);
    ASSERT_LT(size, 1048576);
    char sizeText[64];
    std::snprintf(sizeText, sizeof sizeText, "%.2f KB", static_cast<double>(size) / 1024.0);

    EXPECT_EQ(lines[0], "File Name: " + path);
    EXPECT_EQ(lines[1], "Format Name: " + ProbeEntry(path, "", "format=format_name"));
    EXPECT_EQ(lines[2], "Format Long Name: " + ProbeEntry(path, "", "format=format_long_name"));
    EXPECT_EQ(lines[3], std::string("File Size: ") + sizeText);
    EXPECT_EQ(lines[4], "Duration: " + ClockText(ProbeEntry(path, "", "format=duration")));
    EXPECT_EQ(lines[4], "Duration: 00:00:02.000");
    EXPECT_EQ(lines[5], "StartTime: " + ProbeEntry(path, "", "format=start_time"));
    EXPECT_EQ(
        lines[6],
        "Bit Rate: " +
            std::to_string(std::atoll(ProbeEntry(path, "", "format=bit_rate").c_str()) / 1000) +
            " kb/s");
    EXPECT_EQ(lines[7], "Time Stamp: 2020-01-02 12:04:05");
    EXPECT_EQ(lines[8], "Metadata:");
    EXPECT_GT(IndexOf(lines, "  title           : My Title"), 8);
    EXPECT_GT(IndexOf(lines, "  artist          : Some Artist"), 8);
    EXPECT_GT(IndexOf(lines, "  creation_time   : 2020-01-02T03:04:05.000000Z"), 8);

    // mp4 shows stream ids; its streams carry "und" and further tags.
    const long video = IndexStarting(lines, StreamHead(path, 0, true) + "Video: mpeg4");
    ASSERT_GT(video, 8) << lines[static_cast<size_t>(lines.size() - 1)];
    const std::string& videoLine = lines[static_cast<size_t>(video)];
    EXPECT_NE(videoLine.find(", 25 fps, 25 tbr, 12800 tbn, 25 tbc, StartTime: 0.000000"),
              std::string::npos)
        << videoLine;
    EXPECT_TRUE(
        EndsWith(videoLine, ", Duration: " + ClockText(ProbeEntry(path, "v:0", "stream=duration"))))
        << videoLine;
    EXPECT_EQ(videoLine.find("PAR "), std::string::npos);
    EXPECT_EQ(lines[static_cast<size_t>(video + 1)], "  Metadata:");
    EXPECT_GT(IndexOf(lines, "    handler_name    : VideoHandler"), video);

    const long audio = IndexStarting(lines, StreamHead(path, 1, true) + "Audio: aac");
    ASSERT_GT(audio, video);
    const std::string& audioLine = lines[static_cast<size_t>(audio)];
    EXPECT_NE(audioLine.find("44100 Hz"), std::string::npos);
    EXPECT_EQ(audioLine.find(" fps"), std::string::npos); // rates are for video only
    EXPECT_TRUE(EndsWith(audioLine,
                         ", Duration: " + ClockText(ProbeEntry(path, "a:0", "stream=duration"))));
    // The language tag shows in the head, never among the tags.
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("language") != l.npos; }),
              0);
}

TEST(ProbeInfoText, ProgramsListTheirStreamsOnce) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("service.ts");
    probe_testing::MakeVideoAudio(path, "-c:v mpeg2video -c:a mp2", "25",
                                  "-metadata:s:a:0 language=eng -metadata service_name=Svc "
                                  "-metadata service_provider=Prov");
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path)) << probe.LastErrorText();
    EXPECT_EQ(probe.ProgramCount(), 1);
    const Lines lines = InfoLines(probe);

    EXPECT_EQ(IndexOf(lines, "StartTime: " + ProbeEntry(path, "", "format=start_time")), 5);
    EXPECT_EQ(IndexOf(lines, "Metadata:"), -1); // the file itself has no tags
    EXPECT_EQ(IndexStarting(lines, "Time Stamp:"), -1);
    const long program = IndexOf(lines, "Program 1 Prov@Svc");
    ASSERT_GT(program, 0);
    EXPECT_EQ(lines[static_cast<size_t>(program + 1)], "  Metadata:");
    EXPECT_EQ(lines[static_cast<size_t>(program + 2)], "    service_name    : Svc");
    EXPECT_EQ(lines[static_cast<size_t>(program + 3)], "    service_provider: Prov");

    const std::string videoHead = StreamHead(path, 0, true);
    EXPECT_EQ(videoHead, "Stream #0[0x100], 1/90000: ");
    const long video = IndexStarting(lines, videoHead + "Video: mpeg2video");
    ASSERT_EQ(video, program + 4);
    const std::string& videoLine = lines[static_cast<size_t>(video)];
    EXPECT_NE(videoLine.find(", 25 fps, 25 tbr, 90k tbn, 25 tbc, StartTime: " +
                             StreamEntry(path, "v:0", "stream=start_time") + ", Duration: "),
              std::string::npos)
        << videoLine;

    // The audio stream's only tag is its language: no tag block follows it.
    const long audio = IndexStarting(lines, "Stream #1[0x101](eng), 1/90000: Audio: mp2");
    ASSERT_EQ(audio, video + 1);
    EXPECT_EQ(static_cast<size_t>(audio), lines.size() - 1);
    EXPECT_NE(lines.back().find(", StartTime: " + StreamEntry(path, "a:0", "stream=start_time")),
              std::string::npos);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("Stream #", 0) == 0; }),
              2);
}

TEST(ProbeInfoText, TagKeysAreRenamedExactly) {
    RequireEncoderLibraries();
    TempDir dir;

    // An mp3 with an ID3v2 TPE1 frame.
    const std::string mp3 = dir.File("song.mp3");
    probe_testing::MakeTaggedMp3(mp3);
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(mp3)) << probe.LastErrorText();
    Lines lines = InfoLines(probe);
    EXPECT_GE(IndexOf(lines, "  artist          : Singer"), 0);
    EXPECT_GE(IndexOf(lines, "  title           : Song"), 0);
    // Audio only: the one stream line has no rates.
    const long stream = IndexStarting(lines, StreamHead(mp3, 0, false) + "Audio: mp3");
    ASSERT_GE(stream, 0);
    EXPECT_NE(lines[static_cast<size_t>(stream)].find(", StartTime: " +
                                                      ProbeEntry(mp3, "a:0", "stream=start_time")),
              std::string::npos);

    // Matroska keeps ID3 frame names as they were given.
    const std::string mkv = dir.File("raw-keys.mkv");
    probe_testing::MakeVideoOnly(mkv, "-metadata TPE1=Raw -metadata TIT2=Named -metadata "
                                      "TCOP=Mine -metadata XYZW=Kept");
    ASSERT_TRUE(probe.LoadFile(mkv)) << probe.LastErrorText();
    lines = InfoLines(probe);
    EXPECT_GE(IndexOf(lines, "  artist          : Raw"), 0);
    EXPECT_GE(IndexOf(lines, "  title           : Named"), 0);
    EXPECT_GE(IndexOf(lines, "  copyright       : Mine"), 0);
    EXPECT_GE(IndexOf(lines, "  XYZW            : Kept"), 0);

    // Letter case counts; "language" is left out of the tag lines.
    const std::string text = dir.File("tags.txt");
    WriteText(text, ";FFMETADATA1\ntpe1=lower\nTYER=1999\nlanguage=eng\nTRK=7\n");
    ASSERT_TRUE(probe.LoadFile(text, "ffmetadata")) << probe.LastErrorText();
    EXPECT_EQ(probe.ForcedFormat(), "ffmetadata");
    EXPECT_EQ(probe.StreamCount(), 0);
    lines = InfoLines(probe);
    const long block = IndexOf(lines, "Metadata:");
    ASSERT_GT(block, 0);
    ASSERT_EQ(lines.size(), static_cast<size_t>(block + 4));
    EXPECT_EQ(lines[static_cast<size_t>(block + 1)], "  tpe1            : lower");
    EXPECT_EQ(lines[static_cast<size_t>(block + 2)], "  year            : 1999");
    EXPECT_EQ(lines[static_cast<size_t>(block + 3)], "  track           : 7");
    EXPECT_EQ(IndexOf(lines, "Duration: N/A"), 4);
    EXPECT_EQ(IndexOf(lines, "Bit Rate: N/A"), 6);
    const long long bytes = std::atoll(ProbeEntry(text, "", "format=size").c_str());
    EXPECT_EQ(lines[3], "File Size: " + std::to_string(bytes) + " Byte");
}

TEST(ProbeInfoText, NoTagBlockWithoutTagsOrWithOnlyALanguage) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string bare = dir.File("bare.avi");
    probe_testing::MakeVideoOnly(bare, "-fflags +bitexact -flags:v +bitexact -map_metadata -1");
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(bare)) << probe.LastErrorText();
    Lines lines = InfoLines(probe);
    EXPECT_FALSE(AnyEndsWith(lines, "Metadata:"));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[7].rfind(StreamHead(bare, 0, false) + "Video: mpeg4", 0), 0u) << lines[7];
    EXPECT_NE(lines[7].find(", 25 fps, 25 tbr, 25 tbn, 25 tbc, "), std::string::npos);

    const std::string language = dir.File("language.txt");
    WriteText(language, ";FFMETADATA1\nlanguage=eng\n");
    ASSERT_TRUE(probe.LoadFile(language)) << probe.LastErrorText();
    lines = InfoLines(probe);
    EXPECT_FALSE(AnyEndsWith(lines, "Metadata:"));
    EXPECT_EQ(lines.back(), "Bit Rate: N/A");
}

TEST(ProbeInfoText, RatesAndAspectRatios) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string ntsc = dir.File("ntsc.mkv");
    probe_testing::MakeVideoOnly(ntsc, "-r 30000/1001");
    // The container says 16:9 while the picture's own aspect stays square.
    const std::string wide = dir.File("wide.mkv");
    Ffmpeg("-i " + ShellQuote(ntsc) + " -c copy -aspect 16:9 " + ShellQuote(wide));

    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(ntsc)) << probe.LastErrorText();
    Lines lines = InfoLines(probe);
    long stream = IndexStarting(lines, "Stream #0, 1/1000: Video: mpeg4");
    ASSERT_GE(stream, 0);
    EXPECT_NE(lines[static_cast<size_t>(stream)].find(
                  "], 29.97 fps, 29.97 tbr, 1k tbn, 29.97 tbc, StartTime: 0.000000, "),
              std::string::npos)
        << lines[static_cast<size_t>(stream)];
    EXPECT_EQ(lines[static_cast<size_t>(stream)].find("PAR"), std::string::npos);

    ASSERT_TRUE(probe.LoadFile(wide)) << probe.LastErrorText();
    lines = InfoLines(probe);
    stream = IndexStarting(lines, "Stream #0, 1/1000: Video: mpeg4");
    ASSERT_GE(stream, 0);
    EXPECT_NE(lines[static_cast<size_t>(stream)].find(
                  "[SAR 1:1 DAR 11:9], PAR 16:11 DAR 16:9, 29.97 fps"),
              std::string::npos)
        << lines[static_cast<size_t>(stream)];
    TVideoStreamInfo video;
    ASSERT_TRUE(probe.GetVideoStreamInfo(0, video));
    EXPECT_FLOAT_EQ(video.DisplayAspectRatio, 176.0f / 144.0f); // the picture's own
}

TEST(ProbeInfoText, NegativeStartTimes) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string path = dir.File("early.mkv");
    probe_testing::MakeVideoOnly(path, "-output_ts_offset -0.5 -avoid_negative_ts disabled");
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(path)) << probe.LastErrorText();
    const Lines lines = InfoLines(probe);
    EXPECT_EQ(IndexStarting(lines, "StartTime:"), -1); // the file's is negative
    const long stream = IndexStarting(lines, "Stream #0");
    ASSERT_GE(stream, 0);
    EXPECT_NE(lines[static_cast<size_t>(stream)].find(", StartTime: -0.500000, Duration: N/A"),
              std::string::npos)
        << lines[static_cast<size_t>(stream)];
    EXPECT_EQ(ProbeEntry(path, "v:0", "stream=start_time"), "-0.500000");
}
