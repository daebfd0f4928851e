// The progress figures: percentage arithmetic, label texts, remaining time with a clock the
// test controls, and the overall percentage.
#include "BatchProgress.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t Second = 1000000;

struct ProgressFixture : ::testing::Test {
    std::int64_t now = 1000 * Second;
    TBatchProgress progress{[this] { return now; }};

    TProgressInfo Info(int task, std::int64_t current, std::int64_t total,
                       std::int64_t size = 0) const {
        TProgressInfo info;
        info.TaskIndex = task;
        info.FileIndex = 0;
        info.CurrentDuration = current;
        info.TotalDuration = total;
        info.CurrentSize = size;
        info.FPS = 25;
        return info;
    }
};

} // namespace

TEST_F(ProgressFixture, PercentageAndLabelTexts) {
    progress.Begin({{"/videos/a.mp4", 20 * Second}, {"/videos/b.mp4", 10 * Second}});
    EXPECT_EQ(progress.TimeText(), "");
    EXPECT_EQ(progress.CounterText(), "");
    EXPECT_FALSE(progress.Busy());

    progress.Report(Info(1, 7499999, 20 * Second, 1234567));
    EXPECT_EQ(progress.Percent(), 37); // 64-bit integer division
    EXPECT_EQ(progress.PercentText(), "37%");
    EXPECT_EQ(progress.TimeText(), "7 Second");
    EXPECT_EQ(progress.LengthText(), "20 Second");
    EXPECT_EQ(progress.SizeText(), "1234 kb");
    EXPECT_EQ(progress.CounterText(), "[2/2]");
    EXPECT_EQ(progress.FileText(), "/videos/b.mp4");
    EXPECT_EQ(progress.Fps(), 25);

    // Past the expected length (audio may run over) the bar stops at 100.
    progress.Report(Info(1, 21 * Second, 20 * Second));
    EXPECT_EQ(progress.Percent(), 100);
    EXPECT_EQ(TBatchProgress::PercentOf(-5, 100), 0);
    EXPECT_EQ(TBatchProgress::PercentOf(3'000'000'000'000LL, 6'000'000'000'000LL), 50);
}

TEST_F(ProgressFixture, AnUnknownLengthIsBusyWithAQuestionMark) {
    progress.Begin({{"a.ts", -1}});
    for (const std::int64_t total : {std::int64_t{-1}, std::int64_t{0}}) {
        progress.Report(Info(0, 5 * Second, total));
        EXPECT_TRUE(progress.Busy());
        EXPECT_EQ(progress.Percent(), -1);
        EXPECT_EQ(progress.PercentText(), "?");
        EXPECT_EQ(progress.LengthText(), "?");
        EXPECT_EQ(progress.TimeText(), "5 Second");
        EXPECT_EQ(progress.RemainingFile(), -1);
        EXPECT_EQ(progress.RemainingFileText(), "--:--:--");
    }
    progress.TaskEnded(0, true);
    EXPECT_FALSE(progress.Busy());
    EXPECT_EQ(progress.Percent(), 100);
    EXPECT_EQ(progress.OverallPercent(), 100);
}

TEST_F(ProgressFixture, LongNamesAreShortenedToTheirFirst44CharactersAndExtension) {
    const std::string fifty(46, 'x');
    EXPECT_EQ(TBatchProgress::ShortFileName(fifty + ".mp4"), fifty + ".mp4");
    const std::string fiftyOne = std::string(47, 'y') + ".mp4";
    EXPECT_EQ(TBatchProgress::ShortFileName(fiftyOne), std::string(44, 'y') + "...mp4");
    // Characters, not bytes: 50 two-byte characters stay whole.
    std::string wide;
    for (int i = 0; i < 50; ++i) {
        wide += "\xC3\xA9";
    }
    EXPECT_EQ(TBatchProgress::ShortFileName(wide), wide);
    EXPECT_EQ(TBatchProgress::ShortFileName(wide + "\xC3\xA9.avi"), wide.substr(0, 88) + "...avi");
    EXPECT_EQ(TBatchProgress::ClockText(3725 * Second), "01:02:05");
    EXPECT_EQ(TBatchProgress::ClockText(-1), "--:--:--");
}

TEST_F(ProgressFixture, TheRemainingTimeDoesNotGrowWhilePaused) {
    progress.Begin({{"a.mp4", 20 * Second}, {"b.mp4", 40 * Second}});
    now += 10 * Second;
    progress.Report(Info(0, 5 * Second, 20 * Second));
    // Half a second of media per second: 15 s of a.mp4 take 30 s, b.mp4 80 s more.
    EXPECT_EQ(progress.RemainingFile(), 30 * Second);
    EXPECT_EQ(progress.RemainingBatch(), 110 * Second);
    EXPECT_EQ(progress.RemainingFileText(), "00:00:30");

    now += 2 * Second; // counts down between reports
    EXPECT_EQ(progress.RemainingFile(), 28 * Second);
    progress.Pause();
    now += 60 * Second;
    EXPECT_EQ(progress.RemainingFile(), 28 * Second);
    EXPECT_EQ(progress.RemainingBatch(), 108 * Second);
    progress.Resume();
    EXPECT_EQ(progress.RemainingFile(), 28 * Second);

    // The next report measures the speed without the pause.
    now += 2 * Second;
    progress.Report(Info(0, 7 * Second, 20 * Second));
    EXPECT_EQ(progress.RemainingFile(), 26 * Second);
    EXPECT_EQ(progress.RemainingBatch(), 106 * Second);

    // The second file's speed is measured from its own start.
    now += 1 * Second;
    progress.TaskEnded(0, true);
    now += 10 * Second;
    progress.Report(Info(1, 10 * Second, 40 * Second));
    EXPECT_EQ(progress.RemainingFile(), 30 * Second);
    EXPECT_EQ(progress.RemainingBatch(), 30 * Second);
}

TEST_F(ProgressFixture, TheOverallPercentageWeighsTasksByLength) {
    progress.Begin({{"a", 30 * Second}, {"b", 10 * Second}});
    EXPECT_EQ(progress.TitleText(), "Progress - 0%");
    progress.Report(Info(0, 15 * Second, 30 * Second));
    EXPECT_EQ(progress.OverallPercent(), 37);
    progress.TaskEnded(0, true);
    EXPECT_EQ(progress.OverallPercent(), 75);
    EXPECT_EQ(progress.TitleText(), "Progress - 75%");

    // With a length unknown, every task weighs the same; a stopped task counts as done.
    progress.Begin({{"a", -1}, {"b", 10 * Second}});
    progress.TaskEnded(0, false);
    progress.Report(Info(1, 5 * Second, 10 * Second));
    EXPECT_EQ(progress.OverallPercent(), 75);
    EXPECT_EQ(progress.Percent(), 50);
}
