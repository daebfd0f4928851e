// Terminate events against batch changes: exactly one per task, none after ClearTasks.
#include "FFEncoder.h"
#include "MainThread.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

using testing_support::PumpUntil;
using testing_support::RunCommand;
using testing_support::ShellQuote;

// A task's event held up in its handler while the end of the batch has already come: ClearTasks
// must not return before that event is delivered (it would be taken for the next batch's), and
// must keep serving the main thread while it waits.
TEST(TerminateDelivery, ClearTasksWaitsForATaskEventStillOnItsWay) {
    testing_support::RequireEncoderLibraries();
    testing_support::TempDir dir;
    const std::string clip = dir.File("clip.mkv");
    testing_support::MakeClip(clip, 1, 160, 120, 25, 22050, "-c:v mpeg4 -c:a mp2");
    TFFEncoder encoder;
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::promise<void> clearing;
    std::atomic<bool> batchEnded{false};
    std::atomic<bool> clearReturned{false};
    std::atomic<bool> handlerDone{false};
    std::atomic<bool> deliveredAfterClear{false};
    encoder.OnTerminate = [&](TCustomFFEncoder&, const TTerminateInfo& info) {
        if (info.TaskIndex < 0) {
            batchEnded = true;
            return;
        }
        released.wait();
        deliveredAfterClear = clearReturned.load();
        handlerDone = true;
    };
    const int task = encoder.AddTask(clip, nullptr);
    ASSERT_EQ(task, 0) << encoder.LastErrorText();
    TOutputOptions o;
    o.VideoCodec = "mpeg4";
    o.AudioCodec = "mp2";
    ASSERT_TRUE(encoder.SetOutputFile(task, dir.File("out.mkv"), &o));
    encoder.StartTask(1);
    ASSERT_TRUE(PumpUntil([&] { return batchEnded.load(); }));

    // Lets the held handler go through the main thread, which only ClearTasks serves now.
    std::atomic<bool> servedInsideClear{false};
    std::thread releaser([&] {
        clearing.get_future().wait();
        CallInMainThread([&] { servedInsideClear = !clearReturned.load(); });
        release.set_value();
    });
    clearing.set_value();
    encoder.ClearTasks();
    clearReturned = true;
    const bool done = PumpUntil([&] { return handlerDone.load(); });
    releaser.join();
    ASSERT_TRUE(done);
    EXPECT_FALSE(deliveredAfterClear.load());
    EXPECT_TRUE(servedInsideClear.load());
}

// Three tasks per batch with random Pause, Resume, Stop, StartTask and ClearTasks, through the
// stress program (300 rounds are run by hand, under ThreadSanitizer too).
TEST(TerminateDelivery, RandomBatchChangesKeepOneEventPerTaskAndNoneLate) {
    testing_support::RequireEncoderLibraries();
    testing_support::TempDir dir;
    const std::string clip = dir.File("clip.mkv");
    testing_support::MakeClip(clip, 1, 160, 120, 25, 22050, "-c:v mpeg4 -c:a mp2");
    const auto r =
        RunCommand(ShellQuote(ENCODER_STRESS) + " --rounds 25 --seed 7 --clip " + ShellQuote(clip));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("terminate events: 100\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("late (after ClearTasks): 0\n"), std::string::npos) << r.output;
}
