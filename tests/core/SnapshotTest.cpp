// Pictures fitted into an area, BMP and JPEG files read back by ffprobe, and the snapshot
// writer's names, flags and folder fallback.
#include "CoreTestHelpers.h"
#include "GlobalObject.h"
#include "ImageEncoding.h"
#include "PictureFit.h"
#include "RecordingShell.h"
#include "Settings.h"
#include "SnapshotWriter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::ProbeEntry;
using testing_support::RecordingShell;
using testing_support::TempDir;

namespace fs = std::filesystem;

namespace {

// A picture whose left half is red and right half blue, with a green first row.
TBitmap24 TestPicture(int width, int height) {
    TBitmap24 picture(width, height);
    FillBitmap(picture, {255, 0, 0});
    for (int y = 0; y < height; ++y) {
        for (int x = width / 2; x < width; ++x) {
            std::uint8_t* p = picture.ScanLine(y) + 3 * x;
            p[0] = 255; // blue
            p[1] = 0;
            p[2] = 0;
        }
    }
    for (int x = 0; x < width; ++x) {
        std::uint8_t* p = picture.ScanLine(0) + 3 * x;
        p[0] = 0;
        p[1] = 255;
        p[2] = 0;
    }
    return picture;
}

TRgb PixelAt(const TBitmap24& picture, int x, int y) {
    const std::uint8_t* p = picture.ScanLine(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

bool Same(TRgb a, TRgb b) {
    return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue;
}

struct SnapshotFixture : ::testing::Test {
    TempDir dir;
    TGlobalObject global{TUserPlaces{dir.Path(), ""}};
    bool dataFolder = global.EnsureDataFolder();
    TSettings settings{global};
    RecordingShell shell;
    TScopedShell scopedShell{shell};
    TSnapshotWriter writer{settings};

    SnapshotFixture() { settings.SetSnapOutputDir(dir.File("snap")); }
};

} // namespace

TEST(PictureFit, TheFittingRuleCentresWithRoundingHalfToEven) {
    // Wider than the area: full width, margins above and below.
    EXPECT_EQ(FitPicture(640, 240, {0, 0, 372, 210}), (TFitRect{0, 35, 372, 140}));
    // Taller than the area: full height, margins left and right.
    EXPECT_EQ(FitPicture(640, 480, {0, 0, 372, 210}), (TFitRect{46, 0, 280, 210}));
    EXPECT_EQ(FitPicture(372, 210, {10, 20, 372, 210}), (TFitRect{10, 20, 372, 210}));
    // A margin of 2.5 pixels rounds to 2, one of 3.5 to 4.
    EXPECT_EQ(FitPicture(100, 95, {0, 0, 100, 100}), (TFitRect{0, 2, 100, 96}));
    EXPECT_EQ(FitPicture(100, 93, {0, 0, 100, 100}), (TFitRect{0, 4, 100, 92}));
    EXPECT_TRUE(FitPicture(0, 10, {0, 0, 10, 10}).Empty());
    EXPECT_TRUE(FitPicture(10, 10, {0, 0, 0, 10}).Empty());
}

TEST(PictureFit, StretchingAndFittingKeepThePicturesParts) {
    const TBitmap24 picture = TestPicture(64, 48);
    const TBitmap24 small = StretchBitmap(picture, 256, 183);
    ASSERT_EQ(small.Width(), 256);
    ASSERT_EQ(small.Height(), 183);
    EXPECT_TRUE(Same(PixelAt(small, 10, 100), {255, 0, 0}));
    EXPECT_TRUE(Same(PixelAt(small, 245, 100), {0, 0, 255}));
    EXPECT_TRUE(Same(PixelAt(small, 10, 0), {0, 255, 0}));

    const TBitmap24 fitted = FittedPicture(picture, 372, 210, {166, 203, 240});
    // 64x48 into 372x210: 280 wide at 46 from the left; the margins keep the background.
    EXPECT_TRUE(Same(PixelAt(fitted, 45, 100), {166, 203, 240}));
    EXPECT_TRUE(Same(PixelAt(fitted, 326, 100), {166, 203, 240}));
    EXPECT_TRUE(Same(PixelAt(fitted, 50, 100), {255, 0, 0}));
    EXPECT_TRUE(Same(PixelAt(fitted, 320, 100), {0, 0, 255}));
    // Nothing to fit: the background alone.
    EXPECT_TRUE(Same(PixelAt(FittedPicture(TBitmap24(), 10, 10, {1, 2, 3}), 5, 5), {1, 2, 3}));
}

TEST_F(SnapshotFixture, BmpAndJpegFilesOpenInAnIndependentReader) {
    const TBitmap24 picture = TestPicture(123, 45);
    const std::string bmp = dir.File("p.bmp");
    const std::string jpg = dir.File("p.jpg");
    core_test::WriteText(bmp, EncodeBmp(picture));
    core_test::WriteText(jpg, EncodeJpeg(picture, 90));
    EXPECT_EQ(ProbeEntry(bmp, "v:0", "stream=codec_name"), "bmp");
    EXPECT_EQ(ProbeEntry(bmp, "v:0", "stream=pix_fmt"), "bgr24");
    EXPECT_EQ(ProbeEntry(bmp, "v:0", "stream=width"), "123");
    EXPECT_EQ(ProbeEntry(bmp, "v:0", "stream=height"), "45");
    EXPECT_EQ(ProbeEntry(jpg, "v:0", "stream=codec_name"), "mjpeg");
    EXPECT_EQ(ProbeEntry(jpg, "v:0", "stream=width"), "123");
    EXPECT_EQ(ProbeEntry(jpg, "v:0", "stream=height"), "45");
    // Rows are stored bottom-up: the green first row is the file's last row.
    const std::string bytes = EncodeBmp(picture);
    const size_t stride = TBitmap24::StrideFor(123);
    EXPECT_EQ(bytes.size(), 54 + stride * 45);
    EXPECT_EQ(static_cast<unsigned char>(bytes[54 + stride * 44 + 1]), 255);
    EXPECT_EQ(static_cast<unsigned char>(bytes[54 + 1]), 0);
    // The quality setting reaches the encoder.
    EXPECT_LT(EncodeJpeg(picture, 5).size(), EncodeJpeg(picture, 100).size());
    EXPECT_THROW(EncodeJpeg(TBitmap24(), 30), EImageEncodingError);
}

TEST_F(SnapshotFixture, TheFlagsChooseTheFiles) {
    const TBitmap24 full = TestPicture(160, 120);
    settings.SetSnapSmallSize(false);
    settings.SetSnapJpg(false);
    const TSnapshotWriter::TResult result = writer.Save(full, TSnapshotWriter::SmallPicture(full));
    EXPECT_TRUE(result.Ok);
    EXPECT_EQ(result.Folder, dir.File("snap/"));
    EXPECT_EQ(result.Written, (std::vector<std::string>{dir.File("snap/Snapshot_full.bmp")}));
    EXPECT_EQ(core_test::EntryCount(dir.File("snap")), 1);

    settings.SetSnapSmallSize(true);
    settings.SetSnapJpg(true);
    settings.SetSnapBmp(false);
    settings.SetJpgCompression(75);
    fs::remove(dir.File("snap/Snapshot_full.bmp"));
    writer.Save(full, TSnapshotWriter::SmallPicture(full));
    EXPECT_FALSE(fs::exists(dir.File("snap/Snapshot_full.bmp")));
    EXPECT_EQ(ProbeEntry(dir.File("snap/Snapshot_full.jpg"), "v:0", "stream=width"), "160");
    EXPECT_EQ(ProbeEntry(dir.File("snap/Snapshot_small.jpg"), "v:0", "stream=width"), "256");
    EXPECT_EQ(ProbeEntry(dir.File("snap/Snapshot_small.jpg"), "v:0", "stream=height"), "183");
    EXPECT_EQ(core_test::ReadText(dir.File("snap/Snapshot_full.jpg")), EncodeJpeg(full, 75));
    EXPECT_TRUE(shell.messages.empty());
    EXPECT_TRUE(shell.opened.empty());
}

TEST_F(SnapshotFixture, TwoSnapshotsInARowLeaveOneSetFromTheSecond) {
    const TBitmap24 first = TestPicture(80, 60);
    const TBitmap24 second = TestPicture(100, 50);
    writer.Save(first, TSnapshotWriter::SmallPicture(first));
    writer.Save(second, TSnapshotWriter::SmallPicture(second));
    EXPECT_EQ(core_test::EntryCount(dir.File("snap")), 4);
    EXPECT_EQ(core_test::ReadText(dir.File("snap/Snapshot_full.bmp")), EncodeBmp(second));
    EXPECT_EQ(core_test::ReadText(dir.File("snap/Snapshot_small.bmp")),
              EncodeBmp(TSnapshotWriter::SmallPicture(second)));
    EXPECT_EQ(core_test::ReadText(dir.File("snap/Snapshot_full.jpg")), EncodeJpeg(second, 30));
    EXPECT_EQ(ProbeEntry(dir.File("snap/Snapshot_full.jpg"), "v:0", "stream=width"), "100");
    // An empty picture writes nothing.
    EXPECT_TRUE(writer.Save(TBitmap24(), TBitmap24()).Written.empty());
}

TEST_F(SnapshotFixture, AFolderThatCannotBeMadeFallsBackToTheDefault) {
    core_test::WriteText(dir.File("plain"), "a file, not a folder");
    settings.SetSnapOutputDir(dir.File("plain/snap"));
    const TBitmap24 full = TestPicture(32, 24);
    const TSnapshotWriter::TResult result = writer.Save(full, TSnapshotWriter::SmallPicture(full));

    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "Cannot create output directory:" + dir.File("plain/snap") +
                                          ".It will create default directory " +
                                          dir.File("videoconverter") + "!");
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_EQ(settings.SnapOutputDir(), dir.File("videoconverter"));
    EXPECT_EQ(result.Folder, dir.File("videoconverter/"));
    EXPECT_EQ(result.Written.size(), 4u);
    EXPECT_TRUE(fs::exists(dir.File("videoconverter/Snapshot_small.jpg")));
    EXPECT_EQ(core_test::ReadText(dir.File("plain")), "a file, not a folder");
}
