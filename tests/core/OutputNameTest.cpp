#include "OutputName.h"
#include "CoreTestHelpers.h"
#include "OutputNameReservations.h"
#include "Settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using core_test::WriteText;
using testing_support::TempDir;

namespace {

struct OutputNameFixture : ::testing::Test {
    TempDir dir;
    TSettings settings{dir.File("settings.ini"), dir.File("home/videoconverter")};
    std::vector<std::string> warnings;
    TShowWarning warn = [this](const std::string& text, const std::string& caption) {
        warnings.push_back(caption + "|" + text);
    };
};

} // namespace

TEST_F(OutputNameFixture, NameIsFolderBaseNewAndSuffix) {
    settings.SetOutputDir(dir.File("out"));
    EXPECT_EQ(OutputName("/media/clips/holiday.avi", ".mp4", settings, warn, nullptr),
              dir.File("out/holiday_(new).mp4"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("out"))) << "the folder is created";
    settings.SetOutputDir(dir.File("out") + "/");
    EXPECT_EQ(OutputName("/media/clips/holiday.avi", "_ipod.mp4", settings, warn, nullptr),
              dir.File("out/holiday_(new)_ipod.mp4"));
    EXPECT_EQ(OutputName("/media/clips/my.trip.2024.mkv", ".ac3", settings, warn, nullptr),
              dir.File("out/my.trip.2024_(new).ac3"));
    EXPECT_TRUE(warnings.empty());
}

TEST_F(OutputNameFixture, ExistingFilesAreNotOverwritten) {
    settings.SetOutputDir(dir.File("out"));
    std::filesystem::create_directories(dir.File("out"));
    WriteText(dir.File("out/holiday_(new)_ipod.mp4"), "x");
    EXPECT_EQ(OutputName("/media/holiday.avi", "_ipod.mp4", settings, warn, nullptr),
              dir.File("out/holiday_(new_1)_ipod.mp4"));
    WriteText(dir.File("out/holiday_(new_1)_ipod.mp4"), "x");
    std::filesystem::create_directory(dir.File("out/holiday_(new_2)_ipod.mp4"));
    std::filesystem::create_symlink(dir.File("nowhere"), dir.File("out/holiday_(new_3)_ipod.mp4"));
    EXPECT_EQ(OutputName("/media/holiday.avi", "_ipod.mp4", settings, warn, nullptr),
              dir.File("out/holiday_(new_4)_ipod.mp4"));
}

TEST_F(OutputNameFixture, OneBatchNeverGivesTwoJobsTheSameName) {
    settings.SetOutputDir(dir.File("out"));
    TOutputNameReservations batch;
    const std::string first = OutputName("/a/holiday.avi", ".mp4", settings, warn, &batch);
    const std::string second = OutputName("/b/holiday.mov", ".mp4", settings, warn, &batch);
    const std::string third = OutputName("/c/holiday.mkv", ".mp4", settings, warn, &batch);
    EXPECT_EQ(first, dir.File("out/holiday_(new).mp4"));
    EXPECT_EQ(second, dir.File("out/holiday_(new_1).mp4"));
    EXPECT_EQ(third, dir.File("out/holiday_(new_2).mp4"));
    EXPECT_TRUE(batch.IsReserved(second));
    batch.Clear();
    EXPECT_EQ(OutputName("/b/holiday.mov", ".mp4", settings, warn, &batch), first);
}

TEST_F(OutputNameFixture, FolderThatCannotBeCreatedFallsBackToTheDefault) {
    WriteText(dir.File("file"), "x");
    const std::string impossible = dir.File("file/sub");
    settings.SetOutputDir(impossible);
    const std::string name = OutputName("/media/holiday.avi", ".mp4", settings, warn, nullptr);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "Warning|Cannot create output directory:" + impossible +
                               ".It will create default directory " +
                               dir.File("home/videoconverter") + "!");
    EXPECT_EQ(settings.OutputDir(), dir.File("home/videoconverter"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("home/videoconverter")));
    EXPECT_EQ(name, dir.File("home/videoconverter/holiday_(new).mp4"));
}
