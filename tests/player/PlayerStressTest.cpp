#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace {

using namespace player_testing;

// Open, play, seek, pause, resume and stop, round after round with random timings: every
// round opens, nothing deadlocks, and no thread is left running.
TEST(PlayerStress, RandomRoundsLeaveNothingRunning) {
    RequirePlayerLibraries();
    const Fixtures& clips = Clips();
    // A thread started and joined first: a thread sanitizer starts its own helper thread with
    // the first thread, and that one belongs to the baseline.
    std::thread([] {}).join();
    const int baseline = ThreadCount();
    std::mt19937 random(20240611);
    auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto serve = [&](int milliseconds) {
        testing_support::PumpUntil([] { return false; }, std::chrono::milliseconds(milliseconds));
    };
    const std::string files[] = {clips.av, clips.other, clips.audio};
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(160, 120);
    for (int round = 0; round < STRESS_ROUNDS; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(player.Open(files[pick(0, 2)], &sink, pick(0, 3) == 0))
            << player.LastErrorText();
        serve(pick(0, 60));
        const int steps = pick(1, 4);
        for (int step = 0; step < steps; ++step) {
            switch (pick(0, 3)) {
            case 0:
                player.Seek(pick(0, 1) * 4, pick(0, 1) == 1, pick(0, 2500) * 1000);
                break;
            case 1:
                player.Pause();
                break;
            case 2:
                player.Resume();
                break;
            default:
                player.SetAspectRatio(pick(0, 1) == 0 ? 0.0f : -1.0f);
                break;
            }
            serve(pick(0, 40));
        }
        if (pick(0, 2) == 0) {
            player.Stop(false); // the next Open waits for it
        } else {
            player.Stop(true);
            EXPECT_EQ(ThreadCount(), baseline);
        }
    }
    player.Stop(true);
    EXPECT_EQ(ThreadCount(), baseline);
    EXPECT_EQ(recorder.Count(psPlay), STRESS_ROUNDS);
    EXPECT_EQ(recorder.Count(psStop), STRESS_ROUNDS);
}

} // namespace
