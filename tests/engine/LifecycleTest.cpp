#include "FFmpeg.h"
#include "FFmpegLogger.h"
#include "MainThread.h"
#include "MediaUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        task = std::make_unique<TCustomFFmpeg>();
        task->Reset();
        task->TerminateHandler = [this](TCustomFFmpeg&) {
            terminateThread = std::this_thread::get_id();
            ++terminations; // publishes the thread id
        };
    }

    std::unique_ptr<TCustomFFmpeg> task;
    std::atomic<int> terminations{0};
    std::thread::id terminateThread;
};

} // namespace

TEST_F(Lifecycle, StartWithoutOutputsTerminatesOnceBeforeReturning) {
    std::vector<std::string> logged;
    LoggerInstance().SetTriggerEventInMainThread(false);
    LoggerInstance().SetLogLevel(llQuiet);
    LoggerInstance().SetOnLog([&](const void*, std::uint32_t, TLogLevel, const std::string& text) {
        logged.push_back(text);
    });

    EXPECT_EQ(task->Start(true), nullptr);
    LoggerInstance().SetOnLog({});
    LoggerInstance().SetTriggerEventInMainThread(true);
    LoggerInstance().SetLogLevel(llInfo);

    EXPECT_EQ(terminations.load(), 1);
    EXPECT_EQ(terminateThread, std::this_thread::get_id());
    EXPECT_TRUE(task->HasError());
    EXPECT_EQ(task->ErrorMessage(), "At least one output file must be specified");
    EXPECT_TRUE(task->Terminated());
    EXPECT_FALSE(task->Working());
    // Logged at the quiet level: delivered even when the logger lets nothing else through.
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "At least one output file must be specified");

    EXPECT_EQ(task->Start(false), nullptr);
    EXPECT_EQ(terminations.load(), 1);
}

TEST_F(Lifecycle, StopWithoutWaitingOnANeverStartedTaskTerminatesOnceFromAnotherThread) {
    task->Stop(false);
    ASSERT_TRUE(testing_support::PumpUntil([&] { return terminations.load() == 1; }));
    EXPECT_NE(terminateThread, std::this_thread::get_id());
    EXPECT_TRUE(task->Terminated());
    EXPECT_FALSE(task->HasError());
    task->Stop(false);
    task->Stop(true);
    // A task judged never started cannot start any more.
    EXPECT_EQ(task->Start(true), nullptr);
    // Reset joins every thread the task started: a second notice would have come by now.
    task->Reset();
    EXPECT_EQ(terminations.load(), 1);
}

TEST_F(Lifecycle, StopWithWaitingReturnsWhileTheHandlersPostIsStillQueued) {
    std::atomic<bool> ranOnMain{false};
    task->TerminateHandler = [&](TCustomFFmpeg&) {
        ++terminations;
        TMainThread::Post([&] { ranOnMain = TMainThread::IsCurrent(); });
    };
    task->Stop(true); // a plain wait: the handler never waits for the main thread
    EXPECT_EQ(terminations.load(), 1);
    EXPECT_FALSE(ranOnMain.load());
    ASSERT_TRUE(testing_support::PumpUntil([&] { return ranOnMain.load(); }));
}

TEST_F(Lifecycle, ResetAfterTerminationReturnsToIdle) {
    task->Start(false);
    ASSERT_TRUE(task->Terminated());
    ASSERT_TRUE(task->HasError());
    task->Reset();
    EXPECT_FALSE(task->Terminated());
    EXPECT_FALSE(task->Working());
    EXPECT_FALSE(task->HasError());
    EXPECT_EQ(task->ErrorMessage(), "At least one output file must be specified"); // kept
    EXPECT_EQ(task->TotalDuration(), -1);
    EXPECT_EQ(task->PreviewFlags(), 0);
    task->Start(false);
    EXPECT_EQ(terminations.load(), 2);
}

TEST_F(Lifecycle, PauseAndResumeWithoutAThreadDoNothing) {
    task->Pause();
    task->Resume();
    task->Start(false);
    task->Pause();
    task->Resume();
    EXPECT_EQ(terminations.load(), 1);
}

TEST_F(Lifecycle, DestroyingANeverStartedTaskGivesItsTermination) {
    task.reset();
    EXPECT_EQ(terminations.load(), 1);
}

TEST_F(Lifecycle, TypedSettersKeepTheirGuards) {
    task->SetAudioSampleRate(0);
    task->SetAudioChannels(-1);
    task->SetAudioVolume(-5);
    task->SetMuxDelay(0);
    task->SetStartTime(NoTimestamp);
    task->SetProgramId(-3);
    EXPECT_EQ(task->Pending().audio_sample_rate, 44100);
    EXPECT_EQ(task->Pending().audio_channels, 2);
    EXPECT_EQ(task->Switches().audio_volume, 256);
    EXPECT_FLOAT_EQ(task->Pending().mux_max_delay, 0.7f);
    EXPECT_EQ(task->Pending().start_time, 0);
    EXPECT_EQ(task->Pending().opt_programid, 0);
    task->SetRecordingTime(5000000);
    EXPECT_EQ(task->Pending().recording_time, 5000000);
    EXPECT_EQ(task->TotalDuration(), 5000000);
    task->SetAudioVolume(512);
    EXPECT_EQ(task->Switches().audio_volume, 512);
}
