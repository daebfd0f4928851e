// vantre-convert end to end: usage, formats, conversion with progress and summary, failures.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using testing_support::ProbeDuration;
using testing_support::ProbeEntry;
using testing_support::RunCommand;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

class ConvertCommand : public ::testing::Test {
protected:
    testing_support::CommandResult Convert(const std::string& args) {
        return RunCommand("env HOME=" + ShellQuote(dir.Path()) +
                          " XDG_DATA_HOME=" + ShellQuote(dir.File("data")) + " " +
                          ShellQuote(VANTRE_CONVERT) + " " + args);
    }
    TempDir dir;
};

int CountLines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST_F(ConvertCommand, UsageHelpAndFormats) {
    auto r = Convert("--help");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("--trim-length S"), std::string::npos);
    r = Convert("--list-formats");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(CountLines(r.output), 115);
    EXPECT_NE(r.output.find("205  Apple TV                  Apple H.264 720p (1280 x 720) (*.mp4)"),
              std::string::npos);
    EXPECT_NE(r.output.find("2406  General Audio formates    AC-3 Audio Codec (*.ac3)"),
              std::string::npos);
    r = Convert("--format 99 a.mp4");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("unknown format 99"), std::string::npos);
    r = Convert("--format 1");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("no file to convert"), std::string::npos);
    r = Convert("--format 1 --zoom wide a.mp4");
    EXPECT_EQ(r.exitCode, 2);
}

TEST_F(ConvertCommand, ConvertsTrimsNamesApartAndReportsFailures) {
    testing_support::RequireEncoderLibraries();
    std::filesystem::create_directories(dir.File("a"));
    std::filesystem::create_directories(dir.File("b"));
    testing_support::MakeClip(dir.File("a/clip.mp4"), 4, 320, 240, 25, 44100,
                              "-c:v libx264 -c:a aac");
    std::filesystem::copy_file(dir.File("a/clip.mp4"), dir.File("b/clip.mp4"));
    std::ofstream(dir.File("broken.mp4")) << "not a video";

    const auto r = Convert(
        "--format 2302 --out " + ShellQuote(dir.File("out")) + " --trim-start 1 --trim-length 2 " +
        ShellQuote(dir.File("a/clip.mp4")) + " " + ShellQuote(dir.File("b/clip.mp4")) + " " +
        ShellQuote(dir.File("broken.mp4")) + " " + ShellQuote(dir.File("missing.mp4")));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    // Two sources with one base name never share an output.
    const std::string first = dir.File("out/clip_(new).mp4");
    const std::string second = dir.File("out/clip_(new_1).mp4");
    ASSERT_TRUE(std::filesystem::exists(first)) << r.output;
    ASSERT_TRUE(std::filesystem::exists(second)) << r.output;
    // A trimmed job stops after its trimmed length.
    EXPECT_NEAR(ProbeDuration(first), 2.0, 0.25);
    EXPECT_EQ(ProbeEntry(first, "v:0", "stream=codec_name"), "mpeg4");
    EXPECT_NE(r.output.find("[1/2] clip.mp4"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("100%"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("FAILED     " + dir.File("missing.mp4") + ": " +
                            dir.File("missing.mp4") + ": No such file or directory"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("FAILED     " + dir.File("broken.mp4")), std::string::npos);
    EXPECT_NE(r.output.find("2 converted, 2 failed"), std::string::npos) << r.output;
    // The sources are untouched and the catalog was installed into the data folder.
    EXPECT_NEAR(ProbeDuration(dir.File("a/clip.mp4")), 4.0, 0.1);
    EXPECT_TRUE(std::filesystem::exists(dir.File("data/vantre/vantremp4format.ini")));
}
