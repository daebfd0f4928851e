#include "DamagedFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using testing_support::CommandResult;
using testing_support::ShellQuote;

CommandResult Transcode(const std::string& arguments) {
    return testing_support::RunCommand(ShellQuote(TRANSCODE_PROGRAM) + " " + arguments);
}

bool Contains(const CommandResult& r, const std::string& text) {
    return r.output.find(text) != std::string::npos;
}

class TranscodeTool : public ::testing::Test {
protected:
    std::string Clip() {
        const std::string path = dir.File("in.mp4");
        testing_support::MakeClip(path, 1, 160, 120, 25, 44100, "-c:v mpeg4 -c:a aac");
        return path;
    }

    testing_support::TempDir dir;
};

} // namespace

TEST_F(TranscodeTool, RejectedOptionEndsTheProgram) {
    const std::string in = Clip();
    const CommandResult r =
        Transcode("-threads 2 -i " + ShellQuote(in) + " " + ShellQuote(dir.File("out.mp4")));
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(Contains(r, "TODO: option - threads")) << r.output;

    const CommandResult aspect = Transcode("-aspect 4:0 out.mp4");
    EXPECT_EQ(aspect.exitCode, 1);
    EXPECT_TRUE(Contains(aspect, "Incorrect aspect ratio specification.")) << aspect.output;

    const CommandResult target = Transcode("-target vcd out.mpg");
    EXPECT_EQ(target.exitCode, 1);
    EXPECT_TRUE(Contains(target, "frame_rate is invalid.")) << target.output;

    const CommandResult preset = Transcode("-vcodec libx264 -vpre ipod2 out.mp4");
    EXPECT_EQ(preset.exitCode, 1);
    EXPECT_TRUE(Contains(preset, "Preset \"ipod2\" not found")) << preset.output;

    const CommandResult missingValue = Transcode("-vcodec");
    EXPECT_EQ(missingValue.exitCode, 1);
    EXPECT_TRUE(Contains(missingValue, "Missing argument for option 'vcodec'"));
}

TEST_F(TranscodeTool, HelpListsTheOptionsWithoutValue) {
    const CommandResult r = Transcode("--help");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Contains(r, "usage: transcode [options] -i INPUT ... [options] OUTPUT ..."));
    for (const char* flag : {"-y", "-vn", "-an", "-sn", "-copyts", "-shortest", "-newaudio"}) {
        EXPECT_TRUE(Contains(r, std::string(flag) + " ")) << flag;
    }
    EXPECT_EQ(Transcode("").exitCode, 1);
}

TEST_F(TranscodeTool, LogLinesAndInputFailures) {
    // A value-less option takes no argument from the line, and the engine's log reaches stderr.
    const std::string missing = dir.File("missing.mp4");
    const CommandResult r = Transcode("-y -version -i " + ShellQuote(missing) + " out.mp4");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r, "Do nothing: option - version")) << r.output;
    EXPECT_TRUE(Contains(r, "Do nothing: option - y")) << r.output;
    EXPECT_TRUE(Contains(r, missing)) << r.output; // the engine's LastErrorText names the file
}

TEST_F(TranscodeTool, ConvertsWithAPreset) {
    const std::string in = Clip();
    const std::string out = dir.File("out.mp4");
    const CommandResult r =
        Transcode("-i " + ShellQuote(in) + " -vcodec libx264 -vpre ipod -acodec aac -ab 96k " +
                  ShellQuote(out));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(testing_support::ProbeEntry(out, "v:0", "stream=codec_name"), "h264");
    EXPECT_EQ(testing_support::ProbeEntry(out, "v:0", "stream=level"), "30");
    EXPECT_EQ(testing_support::ProbeEntry(out, "a:0", "stream=codec_name"), "aac");
    EXPECT_TRUE(Contains(r, "frame=")) << r.output;
}

namespace {

struct TToolCase {
    const char* name;
    const char* options; // between the input and the output
    const char* output;  // file name; its extension picks the container
    const char* vcodec;  // what ffprobe must find ("" for no video)
    const char* acodec;
    const char* extra; // a further stream entry to check, as "entry=value", or ""
};

// Conversions run by hand the way developers do, checked with ffprobe.
const TToolCase kToolCases[] = {
    {"RemuxMkv", "-vcodec copy -acodec copy", "copy.mkv", "h264", "aac", ""},
    {"RemuxMp4", "-vcodec copy -acodec copy", "copy.mp4", "h264", "aac", ""},
    {"RemuxTs", "-vcodec copy -acodec copy", "copy.ts", "h264", "aac", ""},
    {"H264AacWithLibfaac", "-vcodec libx264 -acodec libfaac -ab 96k", "a.mp4", "h264", "aac", ""},
    {"Mpeg4Mp3Avi", "-vcodec mpeg4 -acodec libmp3lame", "b.avi", "mpeg4", "mp3", ""},
    {"H263Aac3gp", "-vcodec h263 -s 176x144 -acodec aac -ar 8000 -ac 1", "c.3gp", "h263", "aac",
     "a:0 stream=sample_rate=8000"},
    {"Wmv2Wma2Asf", "-vcodec wmv2 -acodec wmav2", "d.asf", "wmv2", "wmav2", ""},
    {"FlvMp3", "-vcodec flv -acodec libmp3lame -ar 22050", "e.flv", "flv1", "mp3",
     "a:0 stream=sample_rate=22050"},
    {"PalDvd", "-target pal-dvd", "f.mpg", "mpeg2video", "ac3", "v:0 stream=height=576"},
    {"Ipod", "-vcodec libx264 -vpre libx264-ipod -acodec aac", "g.mp4", "h264", "aac",
     "v:0 stream=level=30"},
};

class TranscodeToolCases : public ::testing::TestWithParam<TToolCase> {};

} // namespace

TEST_P(TranscodeToolCases, ConvertsAsAsked) {
    const TToolCase& c = GetParam();
    testing_support::TempDir dir;
    const std::string in = dir.File("in.mp4");
    testing_support::MakeClip(in, 2, 320, 240, 25, 44100, "-c:v libx264 -c:a aac");
    const std::string out = dir.File(c.output);
    const CommandResult r =
        Transcode("-i " + ShellQuote(in) + " " + c.options + " " + ShellQuote(out));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(testing_support::ProbeEntry(out, "v:0", "stream=codec_name"), c.vcodec);
    EXPECT_EQ(testing_support::ProbeEntry(out, "a:0", "stream=codec_name"), c.acodec);
    EXPECT_NEAR(testing_support::ProbeDuration(out), 2.0, 0.3);
    const std::string extra = c.extra;
    if (!extra.empty()) {
        const auto space = extra.find(' ');
        const auto equals = extra.rfind('=');
        EXPECT_EQ(testing_support::ProbeEntry(out, extra.substr(0, space),
                                              extra.substr(space + 1, equals - space - 1)),
                  extra.substr(equals + 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, TranscodeToolCases, ::testing::ValuesIn(kToolCases),
                         [](const ::testing::TestParamInfo<TToolCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(TranscodeTool, SeekLimitsAndRefusals) {
    const std::string in = dir.File("in.mp4");
    testing_support::MakeClip(in, 6, 320, 240, 25, 44100, "-c:v libx264 -c:a aac");
    const std::string cut = dir.File("cut.mkv");
    CommandResult r = Transcode("-ss 2 -i " + ShellQuote(in) + " -t 3 -vcodec mpeg4 -acodec mp2 " +
                                ShellQuote(cut));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NEAR(testing_support::ProbeDuration(cut), 3.0, 0.3);

    r = Transcode("-i " + ShellQuote(in) + " -f nosuch " + ShellQuote(dir.File("x.bin")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r, "Requested output format 'nosuch' is not a suitable output format"))
        << r.output;

    const std::string before = testing_support::RunCommand("md5sum < " + ShellQuote(in)).output;
    r = Transcode("-i " + ShellQuote(in) + " -vcodec copy -acodec copy " + ShellQuote(in));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_EQ(testing_support::RunCommand("md5sum < " + ShellQuote(in)).output, before);
}

// The engine writes exactly what the ffmpeg tool writes on the same settings; any change to the
// engine that alters a byte shows here.
TEST_F(TranscodeTool, OutputsAreByteIdenticalToTheFfmpegTool) {
    const std::string in = dir.File("in.mp4");
    testing_support::MakeClip(in, 1, 320, 240, 25, 44100, "-c:v libx264 -c:a aac");
    struct TCase {
        const char* output;
        const char* ours;
        const char* theirs;
    };
    const TCase cases[] = {
        {"x264.mp4", "-vcodec libx264 -b 500k -acodec aac -ab 128k",
         "-c:v libx264 -b:v 500k -c:a aac -b:a 128k"},
        {"mpeg4.avi", "-vcodec mpeg4 -b 500k -acodec libmp3lame -ab 128k",
         "-c:v mpeg4 -b:v 500k -c:a libmp3lame -b:a 128k"},
    };
    for (const TCase& c : cases) {
        const std::string ours = dir.File(std::string("ours-") + c.output);
        const std::string theirs = dir.File(std::string("tool-") + c.output);
        const CommandResult r =
            Transcode("-i " + ShellQuote(in) + " " + c.ours + " " + ShellQuote(ours));
        ASSERT_EQ(r.exitCode, 0) << r.output;
        testing_support::Ffmpeg("-i " + ShellQuote(in) + " " + c.theirs + " " + ShellQuote(theirs));
        ASSERT_GT(std::filesystem::file_size(ours), 0u) << c.output;
        EXPECT_EQ(std::filesystem::file_size(ours), std::filesystem::file_size(theirs)) << c.output;
        EXPECT_EQ(testing_support::FileChecksum(ours), testing_support::FileChecksum(theirs))
            << c.output;
    }
}
