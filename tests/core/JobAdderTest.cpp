#include "JobAdder.h"
#include "CoreTestHelpers.h"
#include "JobList.h"
#include "MainThread.h"
#include "RecordingShell.h"
#include "Settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

using testing_support::TempDir;

namespace {

// Clips shared by every test of the program: made once.
struct Clips {
    TempDir dir;
    std::string holiday = dir.File("holiday.avi");
    std::string three = dir.File("three seconds.mp4");
    Clips() {
        testing_support::MakeClip(holiday, 1, 64, 48, 10, 0, "-c:v mpeg4");
        testing_support::MakeClip(three, 3, 64, 48, 10, 8000, "-c:v mpeg4 -c:a aac");
    }
};

const Clips& SharedClips() {
    static const Clips clips;
    return clips;
}

struct JobAdderFixture : ::testing::Test {
    TempDir dir;
    TSettings settings{dir.File("settings.ini"), dir.File("videoconverter")};
    TJobList list;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    TJobAdder adder{list, settings, std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini"};
    const Clips& clips = SharedClips();

    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        settings.SetOutputDir(dir.File("out"));
    }

    // Adds and waits for the end, serving the main-thread queue meanwhile.
    TJobAddResult Add(const std::vector<std::string>& paths,
                      TJobAdder::TProgress progress = nullptr) {
        std::optional<TJobAddResult> result;
        EXPECT_TRUE(
            adder.Start(paths, std::move(progress), [&](const TJobAddResult& r) { result = r; }));
        EXPECT_TRUE(testing_support::PumpUntil([&] { return result.has_value(); }));
        EXPECT_FALSE(adder.Busy());
        return result.value_or(TJobAddResult{});
    }
};

} // namespace

TEST_F(JobAdderFixture, TheSameFileTwiceGivesOneRow) {
    EXPECT_EQ(Add({clips.holiday, clips.holiday}).Added, 1);
    EXPECT_EQ(Add({clips.holiday}).Added, 0) << "already listed";
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Caption(0), clips.holiday);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(JobAdderFixture, FoldersAndFilesThatCannotBeOpenedAreSkippedSilently) {
    std::filesystem::create_directories(dir.File("folder"));
    std::filesystem::create_directories(dir.File("looks like a clip.mp4"));
    core_test::WriteText(dir.File("broken.avi"), "this is no video");
    const TJobAddResult result =
        Add({clips.holiday, dir.File("folder"), dir.File("looks like a clip.mp4"),
             dir.File("broken.avi"), dir.File("missing.mp4"), clips.three});
    EXPECT_EQ(result.Requested, 6);
    EXPECT_EQ(result.Added, 2);
    EXPECT_FALSE(result.Cancelled);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Caption(0), clips.holiday);
    EXPECT_EQ(list.Caption(1), clips.three);
    EXPECT_EQ(list.Record(0).AddOrder, 0);
    EXPECT_EQ(list.Record(1).AddOrder, 5) << "the position in the selection";
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(JobAdderFixture, RowsCarryLengthAndTheFormatsZoom) {
    settings.Ini().WriteString("formatInfo1", "paraZoom", "pan");
    Add({clips.holiday, clips.three});
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Cell(1, TJobColumn::Length), "3");
    EXPECT_EQ(list.Cell(1, TJobColumn::TrimmedLength), "3");
    EXPECT_EQ(list.Record(1).LengthSeconds, 3);
    EXPECT_EQ(list.Record(1).ZoomMode, "pan");
    EXPECT_EQ(list.Record(1).Brightness, 255);
    EXPECT_TRUE(list.Checked(0) && list.Checked(1));
    EXPECT_EQ(list.Selected(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("out"))) << "adding writes nothing";

    settings.SetFormat("AC-3 Audio Codec (*.ac3)", 2406);
    std::filesystem::copy_file(clips.holiday, dir.File("holiday.mp4"));
    Add({dir.File("holiday.mp4")});
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Record(2).ZoomMode, "lbox");
}

TEST_F(JobAdderFixture, CancelKeepsTheRowsAddedSoFar) {
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) {
        const std::string copy = dir.File("copy" + std::to_string(i) + ".avi");
        std::filesystem::copy_file(clips.holiday, copy);
        paths.push_back(copy);
    }
    std::vector<int> seen;
    const TJobAddResult result = Add(paths, [&](int done, int total) {
        seen.push_back(done);
        EXPECT_EQ(total, 6);
        adder.Cancel();
    });
    EXPECT_TRUE(result.Cancelled);
    EXPECT_EQ(seen, std::vector<int>{1}) << "no progress after the cancel";
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(result.Added, 1);
    // The adder serves the next add as usual.
    EXPECT_EQ(Add({paths[3]}).Added, 1);
}

TEST_F(JobAdderFixture, NothingToProbeEndsAtOnce) {
    bool finished = false;
    EXPECT_TRUE(adder.Start({dir.Path()}, nullptr, [&](const TJobAddResult& r) {
        finished = true;
        EXPECT_EQ(r.Added, 0);
    }));
    EXPECT_TRUE(finished);
    EXPECT_FALSE(adder.Busy());
}

TEST_F(JobAdderFixture, DestroyingTheAdderWhileItProbesWaitsForItsWorker) {
    std::vector<std::string> paths(20, clips.three);
    for (int i = 0; i < 20; ++i) {
        paths[i] = dir.File("c" + std::to_string(i) + ".mp4");
        std::filesystem::copy_file(clips.three, paths[i]);
    }
    {
        TJobAdder early(list, settings, std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini");
        bool finished = false;
        ASSERT_TRUE(early.Start(paths, nullptr, [&](const TJobAddResult&) { finished = true; }));
    }
    // Calls it had queued for the main thread do nothing once it is gone.
    while (TMainThread::CheckSynchronize()) {
    }
    EXPECT_EQ(list.Count(), 0);
}
