#include "MainThread.h"
#include "MediaUtils.h"
#include "PlayerMessages.h"
#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace {

using namespace player_testing;
using testing_support::PumpUntil;

class PlayerPictures : public ::testing::Test {
protected:
    void SetUp() override {
        RequirePlayerLibraries();
        Clips();
    }

    static bool WaitForRect(const THeadlessPictureSink& sink, const TPictureRect& rect) {
        return PumpUntil([&] {
            auto picture = sink.LastPicture();
            return sink.LastRect() == rect && picture && picture->Width() == rect.width &&
                   picture->Height() == rect.height;
        });
    }
};

// The picture is laid out by AspectRatio in a surface of another shape, and laid out again at
// once when the ratio or the surface size changes, without reopening the file.
TEST_F(PlayerPictures, AspectRatioAndResizeLayOutThePicture) {
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(400, 400);
    ASSERT_TRUE(player.Open(Clips().av, &sink, true));
    ASSERT_TRUE(recorder.WaitFor(psPause));
    EXPECT_EQ(player.ScreenWidth(), 400);
    EXPECT_EQ(player.ScreenHeight(), 400);
    EXPECT_TRUE(WaitForRect(sink, {0, 50, 400, 300}));
    player.SetAspectRatio(-1);
    EXPECT_TRUE(WaitForRect(sink, {0, 0, 400, 400}));
    player.SetAspectRatio(16.0f / 9);
    EXPECT_TRUE(WaitForRect(sink, {0, 88, 400, 224}));
    sink.Resize(200, 400);
    EXPECT_TRUE(WaitForRect(sink, {0, 144, 200, 112}));
    EXPECT_EQ(player.ScreenWidth(), 200);
    EXPECT_EQ(player.ScreenHeight(), 400);
    // Playing on, new pictures keep the layout.
    player.Resume();
    ASSERT_TRUE(PumpUntil([&] { return sink.LastPicture() && sink.LastPicture()->pts > 400000; }));
    EXPECT_EQ(sink.LastRect(), (TPictureRect{0, 144, 200, 112}));
    EXPECT_EQ(recorder.Count(psPlay), 1);
    player.Stop(true);
}

// OnFileOpen may choose the surface: the picture is laid out in what the handler leaves.
TEST_F(PlayerPictures, FileOpenHandlerChoosesTheSurface) {
    TFFPlayer player;
    TRecorder recorder(player);
    player.SetOnFileOpen([](TCustomPlayer&, std::int64_t, int, int, int& width, int& height) {
        width = 200;
        height = 100;
    });
    THeadlessPictureSink sink(400, 400);
    ASSERT_TRUE(player.Open(Clips().av, &sink, true));
    ASSERT_TRUE(recorder.WaitFor(psPause));
    EXPECT_EQ(player.ScreenWidth(), 200);
    EXPECT_EQ(player.ScreenHeight(), 100);
    EXPECT_EQ(sink.LastRect(), (TPictureRect{34, 0, 132, 100}));
    player.Stop(true);
}

// A byte seek lands where the bytes are; a byte seek the format refuses is logged and the
// waiting caller is released.
TEST_F(PlayerPictures, ByteSeeks) {
    const std::int64_t size = FileSizeOf(Clips().stream);
    TLogCapture log;
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(320, 240);
    ASSERT_TRUE(player.Open(Clips().stream, &sink, true));
    ASSERT_TRUE(recorder.WaitFor(psPause));
    player.Seek(2, true, size / 2);
    std::int64_t pts = -1;
    player.CurrentBitmapWithPTS(pts);
    EXPECT_GT(pts, 1000000);
    EXPECT_LT(pts, 3000000);

    ASSERT_TRUE(player.Open(Clips().av, &sink, true));
    ASSERT_TRUE(recorder.WaitFor(psPause, 2));
    player.Seek(2, true, 1000);
    EXPECT_TRUE(log.Contains(llError, Clips().av + ": error while seeking"));
    player.Stop(true);
}

// A hook that paints the picture white gives white pictures in the sink and in CurrentBitmap.
TEST_F(PlayerPictures, HookDrawsOnEveryPicture) {
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(320, 240);
    std::atomic<int> hooked{0};
    std::atomic<bool> onMain{false};
    player.SetHook(true);
    player.SetOnHook([&](TCustomPlayer&, TBitmap24& bitmap, std::int64_t) {
        onMain = onMain || TMainThread::IsCurrent();
        std::memset(bitmap.Bits(), 0xFF, static_cast<size_t>(bitmap.Stride()) * bitmap.Height());
        ++hooked;
    });
    ASSERT_TRUE(player.Open(Clips().av, &sink));
    ASSERT_TRUE(PumpUntil([&] { return sink.ShownCount() >= 5; }));
    const auto picture = sink.LastPicture();
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(AllPixels(*picture, 255, 255, 255));
    player.Pause();
    const TBitmap24& bitmap = player.CurrentBitmap();
    ASSERT_EQ(bitmap.Width(), 320);
    ASSERT_EQ(bitmap.Height(), 240);
    EXPECT_EQ(bitmap.ScanLine(100)[30], 255);
    EXPECT_GE(hooked.load(), 5);
    EXPECT_FALSE(onMain.load());
    player.Stop(true);
}

// A hook that throws: the message is logged and the picture is shown as decoded.
TEST_F(PlayerPictures, FailingHookLeavesThePictureAlone) {
    TLogCapture log;
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(320, 240);
    player.SetHook(true);
    player.SetOnHook([&](TCustomPlayer&, TBitmap24& bitmap, std::int64_t) {
        std::memset(bitmap.Bits(), 0xFF, static_cast<size_t>(bitmap.Stride()) * bitmap.Height());
        throw std::runtime_error("brush lost");
    });
    ASSERT_TRUE(player.Open(Clips().av, &sink, true));
    ASSERT_TRUE(recorder.WaitFor(psPause));
    EXPECT_TRUE(log.Contains(llError, std::string(playermsg::HookError) + "brush lost"));
    ASSERT_NE(sink.LastPicture(), nullptr);
    EXPECT_FALSE(AllPixels(*sink.LastPicture(), 255, 255, 255, 8));
    player.Stop(true);
}

// A phone clip stored on its side is shown upright: its size is the upright one and the band
// at the top of the picture is at the top of what is shown.
TEST_F(PlayerPictures, RotatedClipIsShownUpright) {
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(160, 120);
    ASSERT_TRUE(player.Open(Clips().portrait, &sink, true));
    ASSERT_TRUE(recorder.WaitFor(psPause));
    EXPECT_EQ(recorder.OpenedWidth(), 48);
    EXPECT_EQ(recorder.OpenedHeight(), 64);
    std::int64_t pts = -1;
    const TBitmap24& bitmap = player.CurrentBitmapWithPTS(pts);
    ASSERT_EQ(bitmap.Width(), 48);
    ASSERT_EQ(bitmap.Height(), 64);
    const std::uint8_t* top = bitmap.ScanLine(4) + 24 * 3;     // blue, green, red
    const std::uint8_t* bottom = bitmap.ScanLine(56) + 24 * 3; // blue, green, red
    EXPECT_GT(top[2], 150);
    EXPECT_LT(top[0], 90);
    EXPECT_GT(bottom[0], 150);
    EXPECT_LT(bottom[2], 90);
    player.Stop(true);
}

// CurrentBitmap of a paused clip is the decoded picture at that time, as the ffmpeg tool
// decodes it.
TEST_F(PlayerPictures, CurrentBitmapMatchesTheDecodedFrame) {
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(160, 120);
    ASSERT_TRUE(player.Open(Clips().av, &sink, true));
    ASSERT_TRUE(recorder.WaitFor(psPause));
    player.Seek(0, true, 1200000);
    std::int64_t pts = -1;
    const TBitmap24& bitmap = player.CurrentBitmapWithPTS(pts);
    ASSERT_EQ(pts, 1200000);
    ASSERT_EQ(bitmap.Width(), 320);
    ASSERT_EQ(bitmap.Height(), 240);

    testing_support::TempDir dir;
    const std::string raw = dir.File("frame.bgr");
    testing_support::Ffmpeg("-ss 1.2 -i " + testing_support::ShellQuote(Clips().av) +
                            " -frames:v 1 -f rawvideo -pix_fmt bgr24 " +
                            testing_support::ShellQuote(raw));
    std::vector<char> expected;
    ASSERT_EQ(ReadWholeFile(raw, expected), 0);
    ASSERT_EQ(expected.size(), 320u * 240 * 3 + 1);
    double total = 0;
    int worst = 0;
    for (int y = 0; y < 240; ++y) {
        const std::uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < 320 * 3; ++x) {
            const int want = static_cast<std::uint8_t>(expected[static_cast<size_t>(y) * 960 + x]);
            const int diff = std::abs(row[x] - want);
            total += diff;
            worst = std::max(worst, diff);
        }
    }
    EXPECT_LT(total / (320.0 * 240 * 3), 1.0);
    EXPECT_LE(worst, 8);
    // Seeking back while paused shows the first picture again.
    player.Seek(0, true, 0);
    player.CurrentBitmapWithPTS(pts);
    EXPECT_EQ(pts, 0);
    player.Stop(true);
    EXPECT_EQ(player.CurrentBitmap().Width(), 0);
}

} // namespace
