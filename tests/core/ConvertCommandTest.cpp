// vantre-convert end to end: usage, formats, conversion with progress and summary, failures.
#include "CatalogFile.h"
#include "CoreTestHelpers.h"
#include "DamagedFiles.h"
#include "FormatProfile.h"
#include "IniFile.h"
#include "MediaUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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
        // A run that blocks (on a pipe as input) fails the test instead of hanging it.
        return RunCommand("timeout 120 env HOME=" + ShellQuote(dir.Path()) +
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
    EXPECT_EQ(CountLines(r.output), 128);
    EXPECT_NE(r.output.find("205  Apple TV                  Apple H.264 720p (1280 x 720) (*.mp4)"),
              std::string::npos);
    EXPECT_NE(r.output.find("2406  General Audio formates    AC-3 Audio Codec (*.ac3)"),
              std::string::npos);
    EXPECT_NE(r.output.find("2701  Web and Phones            Phone Video 1080p H.265 (*.mp4)"),
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

// Damaged and unusual sources: each fails with its reason, nothing is left in the output folder
// and no source changes; the run ends with exit code 1.
TEST_F(ConvertCommand, HostileSourcesFailWithTheirReasonAndLeaveNothing) {
    testing_support::RequireEncoderLibraries();
    const std::string oneFrame = dir.File("one.m4a");
    testing_support::Ffmpeg("-f lavfi -i sine -frames:a 1 -c:a aac " + ShellQuote(oneFrame));
    const std::string png = dir.File("whole.png");
    testing_support::Ffmpeg("-f lavfi -i testsrc=size=64x48 -frames:v 1 " + ShellQuote(png));
    const std::string shortPng = dir.File("short.png");
    testing_support::TruncatedCopy(png, shortPng, 100);
    const std::string channels = dir.File("channels.wav");
    testing_support::WriteSilentWav(channels, 255, 44100, 4410);
    const std::string pipe = dir.File("pipe.mp4");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::vector<std::string> regular = {oneFrame, shortPng, channels};
    std::vector<std::string> sums;
    for (const std::string& source : regular) {
        sums.push_back(testing_support::FileChecksum(source));
    }

    const std::string out = dir.File("out");
    const auto r =
        Convert("--format 2302 --out " + ShellQuote(out) + " " + ShellQuote(oneFrame) + " " +
                ShellQuote(shortPng) + " " + ShellQuote(channels) + " " + ShellQuote(pipe));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    for (const std::string& line :
         {"FAILED     " + oneFrame + ": " + out + "/one_(new).mp4: no frames were written",
          "FAILED     " + shortPng + ": " + out + "/short_(new).mp4: no frames were written",
          "FAILED     " + channels +
              ": Can not resample 255 channels @ 44100 Hz to 2 channels @ 44100 Hz",
          "FAILED     " + pipe + ": " + pipe + ": Not a regular file (a named pipe)",
          std::string("0 converted, 4 failed")}) {
        EXPECT_NE(r.output.find(line + "\n"), std::string::npos) << line << "\n" << r.output;
    }
    EXPECT_TRUE(!std::filesystem::exists(out) || std::filesystem::is_empty(out));
    for (size_t i = 0; i < regular.size(); ++i) {
        EXPECT_EQ(testing_support::FileChecksum(regular[i]), sums[i]) << regular[i];
    }
}

TEST_F(ConvertCommand, TrimStartBeyondTheEndFails) {
    testing_support::RequireEncoderLibraries();
    const std::string clip = dir.File("clip.mp4");
    testing_support::MakeClip(clip, 2, 160, 120, 25, 44100, "-c:v mpeg4 -c:a aac -shortest");
    const auto r = Convert("--format 2302 --out " + ShellQuote(dir.File("out")) +
                           " --trim-start 100 " + ShellQuote(clip));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("FAILED     " + clip +
                            ": trim start 100 s is beyond the end of the source (2 s)\n"),
              std::string::npos)
        << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/clip_(new).mp4")));
}

TEST_F(ConvertCommand, OutOfRangeTimesAndUnwritableFoldersAreRefused) {
    for (const char* args :
         {"--trim-start 1e308", "--trim-length 1e308", "--trim-start inf", "--trim-length -1"}) {
        const auto r = Convert(std::string("--format 1 ") + args + " a.mp4");
        EXPECT_EQ(r.exitCode, 2) << args;
        const std::string option = std::string(args).substr(0, std::string(args).find(' '));
        EXPECT_NE(r.output.find("vantre-convert: " + option +
                                " takes a number of seconds from 0 to 9223372036854\n"),
                  std::string::npos)
            << r.output;
        EXPECT_NE(r.output.find("Usage: vantre-convert"), std::string::npos) << args;
    }
    // The largest time that still counts in microseconds is taken.
    EXPECT_NE(Convert("--format 1 --trim-start 9223372036854 a.mp4").exitCode, 2);

    auto r = Convert("--format 1 --out /proc/self a.mp4");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.output,
              "vantre-convert: --out /proc/self: files cannot be created in this folder\n");
    std::ofstream(dir.File("plain")) << "x";
    r = Convert("--format 1 --out " + ShellQuote(dir.File("plain")) + " a.mp4");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.output, "vantre-convert: --out " + dir.File("plain") + ": not a folder\n");
}

// A damaged catalog in the data folder would turn "iPod Video H.264" into sound only: it is
// replaced by the program's, with a warning, and the format converts with its picture.
TEST_F(ConvertCommand, DamagedCatalogIsReplacedBeforeConverting) {
    testing_support::RequireEncoderLibraries();
    const std::string clip = dir.File("clip.mp4");
    testing_support::MakeClip(clip, 1, 320, 240, 25, 44100, "-c:v mpeg4 -c:a aac -shortest");
    const std::string catalog = dir.File("data/vantre/vantremp4format.ini");
    std::filesystem::create_directories(dir.File("data/vantre"));
    std::ofstream(catalog) << "garbage\n";
    const auto r =
        Convert("--format 1 --out " + ShellQuote(dir.File("out")) + " " + ShellQuote(clip));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("vantre-convert: The format catalog " + catalog +
                            " is damaged (section formatInfo0 is missing); it was kept as " +
                            catalog + ".bak and replaced by the program's\n"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(core_test::ReadText(catalog + ".bak"), "garbage\n");
    EXPECT_EQ(ProbeEntry(dir.File("out/clip_(new).mp4"), "v:0", "stream=codec_name"), "h264");
}

// A typed odd frame size with letterbox: the sizes and bars are made even for the encoder.
TEST_F(ConvertCommand, OddTypedFrameSizeWithLetterboxConverts) {
    testing_support::RequireEncoderLibraries();
    const std::string clip = dir.File("wide.mp4");
    testing_support::MakeClip(clip, 1, 320, 180, 25, 44100,
                              "-c:v libx264 -pix_fmt yuv420p -c:a aac -shortest");
    const int code = 2302;
    const std::string shipped = std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini";
    const TCatalogFile catalog(shipped);
    TProfileChoices choices = TFormatProfile::CatalogDefaults(catalog, code);
    choices.VideoSize = {-1, "321x241"};
    choices.ZoomIndex = 1;
    std::filesystem::create_directories(dir.File("data/vantre"));
    TIniFile settings(dir.File("data/vantre/vantremp4videoconverter.ini"));
    TFormatProfile::Store(settings, catalog, code, choices);
    const auto r =
        Convert("--format 2302 --out " + ShellQuote(dir.File("out")) + " " + ShellQuote(clip));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string out = dir.File("out/wide_(new).mp4");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=width"), "320");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=height"), "240");
}
