// The preview's states, its buttons and the texts of its labels.
#include "PreviewState.h"
#include "SliderTime.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(PreviewState, ButtonsFollowStopPlayPauseAndEnd) {
    TPreviewState state;
    EXPECT_TRUE(state.Stopped());
    EXPECT_EQ(state.Buttons(), (TPreviewButtons{true, false, false, false})) << "Play only";
    state.SetPlaying();
    EXPECT_EQ(state.Buttons(), (TPreviewButtons{false, true, true, true}));
    state.SetPaused();
    EXPECT_FALSE(state.Stopped());
    EXPECT_EQ(state.Buttons(), (TPreviewButtons{true, false, true, true}));
    state.SetPlaying();
    EXPECT_TRUE(state.Playing());
    state.SetStopped();
    EXPECT_FALSE(state.Paused());
    EXPECT_EQ(state.Buttons(), TPreviewButtons{});
}

TEST(PreviewState, PositionAndDurationTexts) {
    EXPECT_EQ(TPreviewState::PositionText(3'723'456'789), "01:02:03.456");
    EXPECT_EQ(TPreviewState::PositionText(0), "00:00:00.000");
    EXPECT_EQ(TPreviewState::PositionText(90'000'000'000LL), "25:00:00.000") << "not wrapped";
    EXPECT_EQ(TPreviewState::PositionText(999), "00:00:00.000");
    EXPECT_EQ(TPreviewState::PositionText(-5'000'000), "00:00:00.000");

    EXPECT_EQ(TPreviewState::DurationText(3'725'000'000LL), "1:02:05");
    EXPECT_EQ(TPreviewState::DurationText(3'724'500'000LL), "1:02:05") << "rounded";
    EXPECT_EQ(TPreviewState::DurationText(59'400'000), "0:00:59");
    EXPECT_EQ(TPreviewState::DurationText(-1), "0:00:00");
}

TEST(PreviewState, SliderTimeIsTheSliderShareOfTheDuration) {
    EXPECT_EQ(TSliderTime::TimeAt(128, 256, 120'000'000), 60'000'000);
    EXPECT_EQ(TSliderTime::TimeAt(1, 3, 100), 33) << "truncated";
    EXPECT_EQ(TSliderTime::TimeAt(256, 256, 120'000'000), 120'000'000);
    EXPECT_EQ(TSliderTime::TimeAt(10, 0, 120'000'000), 0) << "no slider range";
    EXPECT_EQ(TSliderTime::TimeAt(10, 256, -1), 0) << "unknown duration";
    EXPECT_EQ(TSliderTime::TimeAt(1, 3, 60'000'000), 20'000'000) << "a third of a minute";
    // Beyond whole numbers the share is still right to a few parts in 10^18.
    EXPECT_LE(std::llabs(TSliderTime::TimeAt(3, 4, INT64_MAX / 2) - INT64_MAX / 8 * 3), 16);
}

TEST(PreviewState, SliderPositionIsTheTimesShareOfTheSlider) {
    EXPECT_EQ(TSliderTime::PositionAt(60'000'000, 256, 120'000'000), 128);
    EXPECT_EQ(TSliderTime::PositionAt(1'000'000, 564, 60'000'000), 9) << "truncated";
    EXPECT_EQ(TSliderTime::PositionAt(130'000'000, 256, 120'000'000), 256) << "past the end";
    EXPECT_EQ(TSliderTime::PositionAt(-5, 256, 120'000'000), 0);
    EXPECT_EQ(TSliderTime::PositionAt(5, 0, 120'000'000), 0) << "no slider range";
    EXPECT_EQ(TSliderTime::PositionAt(5, 256, 0), 0) << "unknown duration";
    // Beyond whole numbers the share is reckoned in long double: right to a position.
    EXPECT_NEAR(TSliderTime::PositionAt(INT64_MAX / 8 * 3, 1000, INT64_MAX / 8 * 4), 750, 1);
    // The two mappings agree on every slider position of a short clip.
    for (int position = 0; position <= 300; ++position) {
        const std::int64_t time = TSliderTime::TimeAt(position, 300, 2'040'000);
        EXPECT_EQ(TSliderTime::PositionAt(time, 300, 2'040'000), position) << position;
    }
}
