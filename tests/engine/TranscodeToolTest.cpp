#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
