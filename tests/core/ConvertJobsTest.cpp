// vantre-convert with several conversions at once: the same outputs as one at a time, batches
// larger than the open-file limit, and the option's usage errors.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using testing_support::RunCommand;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

class ConvertJobs : public ::testing::Test {
protected:
    testing_support::CommandResult Convert(const std::string& args,
                                           const std::string& prefix = "") {
        return RunCommand("timeout 280 env HOME=" + ShellQuote(dir.Path()) +
                          " XDG_DATA_HOME=" + ShellQuote(dir.File("data")) + " " + prefix +
                          ShellQuote(VANTRE_CONVERT) + " " + args);
    }
    TempDir dir;
};

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(ConvertJobs, JobsTakesAutoOrOneToSixteenOnce) {
    for (const std::string bad : {"--jobs 0", "--jobs 17", "--jobs two", "--jobs",
                                  "--jobs 2 --jobs 2", "--jobs auto --jobs 1"}) {
        const auto r = Convert("--format 2400 " + bad + " a.wav");
        EXPECT_EQ(r.exitCode, 2) << bad << "\n" << r.output;
        EXPECT_NE(r.output.find("Usage: vantre-convert"), std::string::npos) << bad;
    }
    EXPECT_NE(Convert("--help").output.find("--jobs N|auto"), std::string::npos);
}

// Two at once write exactly the bytes one at a time writes, under the same names: a codec's
// thread count never depends on the number of conversions at once.
TEST_F(ConvertJobs, TwoAtOnceWriteTheSameBytesAsOneAtATime) {
    testing_support::RequireEncoderLibraries();
    std::filesystem::create_directories(dir.File("src"));
    testing_support::MakeClip(dir.File("src/a.mp4"), 1, 160, 120, 25, 44100,
                              "-c:v libx264 -pix_fmt yuv420p -c:a aac -shortest");
    testing_support::MakeClip(dir.File("src/b.mkv"), 1.5, 176, 144, 25, 22050,
                              "-c:v mpeg4 -c:a mp2 -shortest");
    // One source twice: the names must follow the list order in both runs.
    const std::string sources = ShellQuote(dir.File("src/a.mp4")) + " " +
                                ShellQuote(dir.File("src/b.mkv")) + " " +
                                ShellQuote(dir.File("src/a.mp4"));
    for (const std::string format : {"2400", "2302"}) {
        const std::string one = dir.File("one" + format);
        const std::string two = dir.File("two" + format);
        auto r =
            Convert("--format " + format + " --jobs 1 --out " + ShellQuote(one) + " " + sources);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        r = Convert("--format " + format + " --jobs 2 --out " + ShellQuote(two) + " " + sources);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const std::vector<std::string> names = FilesIn(one);
        ASSERT_EQ(names.size(), 3u) << format;
        EXPECT_EQ(FilesIn(two), names) << format;
        for (const std::string& name : names) {
            const std::string bytes = Contents(one + "/" + name);
            EXPECT_GT(bytes.size(), 1000u) << name;
            EXPECT_TRUE(bytes == Contents(two + "/" + name)) << format << ": " << name;
        }
        // The summary names each source's own output, in list order.
        const std::string ext = format == "2400" ? ".mp3" : ".mp4";
        EXPECT_NE(
            r.output.find("converted  " + dir.File("src/a.mp4") + " -> " + two + "/a_(new)" + ext),
            std::string::npos)
            << r.output;
        EXPECT_NE(r.output.find("converted  " + dir.File("src/a.mp4") + " -> " + two +
                                "/a_(new_1)" + ext),
                  std::string::npos)
            << r.output;
    }
}

// A queued conversion holds no open file: 300 clips convert with 64 descriptors at most.
TEST_F(ConvertJobs, ThreeHundredClipsConvertUnderAnOpenFileLimitOf64) {
    testing_support::RequireEncoderLibraries();
    if (RunCommand("prlimit --version").exitCode != 0) {
        GTEST_SKIP() << "prlimit is not installed";
    }
    std::filesystem::create_directories(dir.File("clips"));
    const std::string first = dir.File("clips/clip000.wav");
    testing_support::Ffmpeg("-f lavfi -i sine=frequency=440:duration=0.2 -ac 1 -ar 8000 " +
                            ShellQuote(first));
    constexpr int kClips = 300;
    std::string list;
    for (int i = 0; i < kClips; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "clips/clip%03d.wav", i);
        if (i > 0) {
            std::filesystem::copy_file(first, dir.File(name));
        }
        list += dir.File(name) + "\n";
    }
    std::ofstream(dir.File("list.txt")) << list;
    const auto r = Convert("--format 2400 --jobs 2 --out " + ShellQuote(dir.File("out")) +
                               " $(cat " + ShellQuote(dir.File("list.txt")) + ")",
                           "prlimit --nofile=64:64 ");
    ASSERT_EQ(r.exitCode, 0) << r.output.substr(r.output.size() > 3000 ? r.output.size() - 3000
                                                                       : 0);
    EXPECT_NE(r.output.find("300 converted, 0 failed"), std::string::npos);
    EXPECT_EQ(FilesIn(dir.File("out")).size(), static_cast<size_t>(kClips));
}
