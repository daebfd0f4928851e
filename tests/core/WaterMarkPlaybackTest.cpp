// The watermark editor's player on a real clip, without widgets: the file-open event rebuilds
// the list, every decoded picture passes the preview hook and reaches the window thread
// outlined and adjusted, layers follow the picture's time, and the end rewinds and pauses.
#include "WaterMarkPlayback.h"
#include "BitmapImage.h"
#include "HeadlessPictureSink.h"
#include "PictureEffects.h"
#include "RenderTestHelpers.h"
#include "WaterMarkModel.h"

#include <QImage>

#include <gtest/gtest.h>

#include <atomic>

using testing_support::PumpUntil;
using testing_support::TempDir;

namespace {

constexpr int Width = 48;
constexpr int Height = 32;

struct Clip {
    TempDir dir;
    std::string path = dir.File("clip.mkv");
    Clip() { testing_support::MakeClip(path, 3, Width, Height, 10, 0, "-c:v mpeg4 -q:v 2"); }
};

const Clip& SharedClip() {
    static const Clip clip;
    return clip;
}

struct Playing {
    TlvFilesRecord job;
    TWaterMarkModel model{{"DejaVu Sans"}};
    std::atomic<int> waiting{0};
    bool opened = false;
    bool ended = false;
    std::int64_t position = -1;
    TWaterMarkPlayback playback{model,
                                {[this] { opened = true; },
                                 [this](std::int64_t pts) { position = pts; },
                                 [this] { ended = true; }, [this] { ++waiting; }}};
    THeadlessPictureSink sink;

    Playing() {
        job.SourceFile = SharedClip().path;
        job.CropLeft = 4;
        job.CropBottom = 6;
        job.Brightness = 400;
        TWmRec text;
        text.Text = "One";
        text.TextWidth = 30;
        text.TextHeight = 12;
        text.Font.Size = 8;
        text.StartSec = text.EndSec = 1;
        job.WaterMarks = {text};
    }
    // Takes pictures as the window thread does until predicate holds.
    bool Until(const std::function<bool()>& predicate) {
        return PumpUntil([&] {
            model.TakePreview();
            return predicate();
        });
    }
};

} // namespace

TEST(WaterMarkPlaybackTest, TheEstimateIsTheVideoStreamsDurationInMicroseconds) {
    TWaterMarkPlayback::TEvents none;
    TWaterMarkModel model{{}};
    TWaterMarkPlayback playback(model, none);
    testing_support::RequirePlayerLibraries();
    ASSERT_TRUE(playback.LibrariesLoaded());
    EXPECT_NEAR(TWaterMarkPlayback::EstimateDuration(SharedClip().path), 3000000, 100000);
    EXPECT_EQ(TWaterMarkPlayback::EstimateDuration(SharedClip().dir.File("missing.mkv")), -1);
    THeadlessPictureSink sink;
    EXPECT_FALSE(playback.Open(SharedClip().dir.File("missing.mkv"), &sink));
    EXPECT_NE(playback.LastErrorText().find("missing.mkv"), std::string::npos);
    EXPECT_FALSE(model.Opened());
}

TEST(WaterMarkPlaybackTest, PicturesPassTheHookAndLayersFollowTheirTime) {
    Playing p;
    testing_support::RequirePlayerLibraries();
    ASSERT_TRUE(p.playback.LibrariesLoaded());
    p.model.Open(p.job, TWaterMarkPlayback::EstimateDuration(p.job.SourceFile));
    ASSERT_TRUE(p.playback.Open(p.job.SourceFile, &p.sink));
    // The file-open event came inside Open: the list is rebuilt with the file's sizes.
    EXPECT_TRUE(p.opened);
    ASSERT_TRUE(p.model.Opened());
    EXPECT_EQ(p.model.FrameWidth(), Width);
    EXPECT_EQ(p.model.FrameHeight(), Height);
    EXPECT_EQ(p.model.Controls().RangeMax, 3);
    ASSERT_EQ(p.model.Count(), 1);
    EXPECT_TRUE(p.playback.Player().Hook());

    // Second 0: the text (second 1 only) is hidden; the base picture is the frame as received,
    // outlined and brightened.
    ASSERT_TRUE(p.Until([&] { return !p.model.LastFrame().Empty(); }));
    EXPECT_GE(p.waiting.load(), 1);
    TBitmap24 expected = p.model.LastFrame();
    EXPECT_EQ(expected.Width(), Width);
    RenderPreviewFrame(expected, {4, 0, 0, 6}, {400, 0, 255, 0});
    EXPECT_EQ(p.model.BasePicture(), ImageFromBitmap(expected));
    ASSERT_LT(p.model.LastPts(), 1000000);
    EXPECT_FALSE(p.model.Row(0).Layer.Visible);
    ASSERT_TRUE(p.Until([&] { return p.model.LastPts() >= 1000000; }));
    EXPECT_TRUE(p.model.Row(0).Layer.Visible);
    ASSERT_TRUE(p.Until([&] { return p.position >= 1000000; }));

    // Paused, a slider renders the last frame again.
    p.playback.Pause();
    EXPECT_TRUE(p.playback.Paused());
    p.model.SetBrightness(255);
    p.model.SetContrast(-100);
    TBitmap24 flat = p.model.LastFrame();
    RenderPreviewFrame(flat, {4, 0, 0, 6}, {255, -100, 255, 0});
    EXPECT_EQ(p.model.BasePicture(), ImageFromBitmap(flat));
    EXPECT_EQ(p.model.BasePicture().pixel(Width / 2, Height / 2), qRgb(170, 170, 170));

    // Played to the end: rewound and paused.
    p.playback.Play();
    EXPECT_FALSE(p.playback.Paused());
    ASSERT_TRUE(p.Until([&] { return p.ended; }));
    EXPECT_TRUE(p.playback.Paused());
    p.playback.Close();
    EXPECT_FALSE(p.playback.Player().Hook());
    EXPECT_FALSE(p.playback.IsOpen());
}
