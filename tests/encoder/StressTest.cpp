// Terminate events against batch changes: exactly one per task, none after ClearTasks.
#include "FFEncoder.h"
#include "MainThread.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

using testing_support::RunCommand;
using testing_support::ShellQuote;

// A task's event held up in its handler when the batch's work is done: ClearTasks must not
// return before that event and the end of the batch after it are delivered (they would be taken
// for the next batch's), and the end of the batch never overtakes the task's event.
TEST(TerminateDelivery, ClearTasksWaitsForTheEventsStillOnTheirWay) {
    testing_support::RequireEncoderLibraries();
    testing_support::TempDir dir;
    const std::string clip = dir.File("clip.mkv");
    testing_support::MakeClip(clip, 1, 160, 120, 25, 22050, "-c:v mpeg4 -c:a mp2");
    TFFEncoder encoder;
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::promise<void> entered;
    std::atomic<bool> batchEndedFirst{false};
    std::atomic<bool> batchEnded{false};
    std::atomic<bool> clearReturned{false};
    std::atomic<bool> handlerDone{false};
    std::atomic<bool> deliveredAfterClear{false};
    encoder.OnTerminate = [&](TCustomFFEncoder&, const TTerminateInfo& info) {
        if (info.TaskIndex < 0) {
            batchEndedFirst = !handlerDone.load();
            deliveredAfterClear = deliveredAfterClear || clearReturned.load();
            batchEnded = true;
            return;
        }
        entered.set_value();
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
    ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);

    // The handler is released a while after ClearTasks was called: long enough for a ClearTasks
    // that did not wait to have returned. Nothing serves the main thread meanwhile, and
    // nothing needs to.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        release.set_value();
    });
    encoder.ClearTasks();
    clearReturned = true;
    releaser.join();
    EXPECT_TRUE(handlerDone.load()) << "ClearTasks returned before the event was delivered";
    EXPECT_TRUE(batchEnded.load()) << "ClearTasks returned before the end of the batch";
    EXPECT_FALSE(batchEndedFirst.load());
    EXPECT_FALSE(deliveredAfterClear.load());
}

// Three tasks at once per batch with random Pause, Resume, Stop, StartTask and ClearTasks,
// through the stress program (300 rounds are run by hand, under ThreadSanitizer too).
TEST(TerminateDelivery, RandomBatchChangesKeepOneEventPerTaskAndNoneLate) {
    testing_support::RequireEncoderLibraries();
    testing_support::TempDir dir;
    const std::string clip = dir.File("clip.mkv");
    testing_support::MakeClip(clip, 1, 160, 120, 25, 22050, "-c:v mpeg4 -c:a mp2");
    const auto r =
        RunCommand(ShellQuote(ENCODER_STRESS) + " --rounds 40 --seed 7 --clip " + ShellQuote(clip));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("terminate events: 160\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("late (after ClearTasks): 0\n"), std::string::npos) << r.output;
}
