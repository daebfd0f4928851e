// A program without the toolkit's GUI application (the headless converter) can still apply the
// adjustments and bitmap watermarks; a text watermark is refused with a clear error before the
// frame is touched.
#include "AppMessages.h"
#include "RenderTestHelpers.h"
#include "WaterMarkColor.h"
#include "WaterMarkRenderer.h"
#include "WaterMarkText.h"

#include <gtest/gtest.h>

using namespace render_test;

TEST(RenderWithoutGui, TextIsRefusedAndTheRestStillWorks) {
    ASSERT_FALSE(CanDrawWaterMarkText());
    testing_support::TempDir dir;
    testing_support::Ffmpeg("-f lavfi -i color=c=white:s=2x2,format=bgra -frames:v 1 -pix_fmt "
                            "bgr24 " +
                            testing_support::ShellQuote(dir.File("white.bmp")));
    TlvFilesRecord job;
    job.Contrast = -100;
    TWmRec image;
    image.Kind = TWmRec::ImageItem;
    image.ImageFile = dir.File("white.bmp");
    job.WaterMarks = {image};
    TWaterMarkRenderer renderer;
    TBitmap24 frame = Filled(4, 4, 20);
    EXPECT_TRUE(renderer.Render(job, frame, 0));
    EXPECT_EQ(Pixel(frame, 0, 0)[0], 254);
    EXPECT_EQ(Pixel(frame, 3, 3)[0], 170);

    TWmRec text;
    text.Text = "Vantre";
    text.TextWidth = text.TextHeight = 4;
    job.WaterMarks.push_back(text);
    const TBitmap24 original = Noise(4, 4);
    frame = original;
    try {
        renderer.Render(job, frame, 0);
        ADD_FAILURE() << "text drawn without a GUI application";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), appmsg::TextNeedsGuiApplication);
    }
    EXPECT_TRUE(SamePixels(frame, original));
    // System colours fall back on the classic light scheme.
    EXPECT_EQ(WaterMarkColor(0x8000000F), QColor(240, 240, 240));
}
