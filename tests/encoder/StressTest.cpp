#include "FFEncoder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <random>
#include <thread>

// Random pause, resume and stop over a batch of short tasks must neither deadlock nor lose or
// repeat a termination.
TEST(EncoderStress, RandomPauseResumeStopKeepsOneTerminationPerTask) {
    testing_support::RequireEncoderLibraries();
    testing_support::TempDir dir;
    const std::string clip = dir.File("clip.mkv");
    testing_support::MakeClip(clip, 1, 160, 120, 25, 22050, "-c:v mpeg4 -c:a mp2");
    std::mt19937 random(20261209);
    TFFEncoder encoder;
    std::mutex mutex;
    std::map<int, int> counts;
    encoder.OnTerminate = [&](TCustomFFEncoder&, const TTerminateInfo& info) {
        std::lock_guard lock(mutex);
        ++counts[info.TaskIndex];
    };
    encoder.OnProgress = [](TCustomFFEncoder&, PProgressInfo) {};
    for (int round = 0; round < 50; ++round) {
        {
            std::lock_guard lock(mutex);
            counts.clear();
        }
        for (int i = 0; i < 5; ++i) {
            const int index = encoder.AddTask(clip, nullptr);
            ASSERT_EQ(index, i) << encoder.LastErrorText();
            TOutputOptions o;
            o.VideoCodec = "mpeg4";
            o.AudioCodec = "mp2";
            ASSERT_TRUE(
                encoder.SetOutputFile(index, dir.File("o" + std::to_string(i) + ".mkv"), &o));
        }
        encoder.StartTask(1 + static_cast<int>(random() % 2));
        const int actions = static_cast<int>(random() % 6);
        for (int a = 0; a < actions; ++a) {
            testing_support::PumpUntil([] { return false; },
                                       std::chrono::milliseconds(random() % 40));
            switch (random() % 3) {
            case 0:
                encoder.Pause();
                break;
            case 1:
                encoder.Resume();
                break;
            default:
                encoder.Stop(random() % 2 == 0);
                break;
            }
        }
        encoder.Resume();
        ASSERT_TRUE(testing_support::PumpUntil(
            [&] {
                std::lock_guard lock(mutex);
                return counts.count(-1) == 1;
            },
            std::chrono::seconds(60)))
            << "round " << round << " did not end";
        // Late handlers of this round have had their chance to run twice.
        testing_support::PumpUntil([] { return false; }, std::chrono::milliseconds(20));
        {
            std::lock_guard lock(mutex);
            for (int i = -1; i < 5; ++i) {
                EXPECT_EQ(counts[i], 1) << "round " << round << " task " << i;
            }
        }
        encoder.ClearTasks();
    }
}
