// Text and bitmap watermarks and the per-frame renderer of a conversion, on frames in memory.
#include "AppMessages.h"
#include "MediaUtils.h"
#include "PictureEffects.h"
#include "RenderTestHelpers.h"
#include "WaterMarkColor.h"
#include "WaterMarkImageCache.h"
#include "WaterMarkRenderer.h"
#include "WaterMarkText.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace render_test;
using testing_support::Ffmpeg;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

constexpr const char* Face = "DejaVu Sans";

// A transparent text item whose box is the measured extent of its text.
TWmRec TextItem(const std::string& text, int left, int top, int style = 0) {
    TWmRec item;
    item.Text = text;
    item.Font.Name = Face;
    item.Font.Size = 18;
    item.Font.Style = style;
    item.Font.Color = 0x000000FF; // red
    const QSize extent = WaterMarkTextExtent(text, item.Font);
    item.TextLeft = left;
    item.TextTop = top;
    item.TextWidth = extent.width();
    item.TextHeight = extent.height();
    item.TextOpacity = 255;
    item.StartSec = 0;
    item.EndSec = 100;
    return item;
}

// The pixels of the item's box that its glyphs cover: the text drawn white on black.
QImage GlyphMask(const TWmRec& item) {
    QImage mask(item.TextWidth, item.TextHeight, QImage::Format_RGB32);
    mask.fill(Qt::black);
    QPainter painter(&mask);
    const QFont font = WaterMarkQFont(item.Font);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QPoint(0, QFontMetrics(font).ascent()), QString::fromStdString(item.Text));
    return mask;
}

bool Covered(const QImage& mask, int x, int y) {
    return x >= 0 && y >= 0 && x < mask.width() && y < mask.height() &&
           (mask.pixel(x, y) & 0xFFFFFF) != 0;
}

int Blend(int frame, int overlay, int opacity) {
    return ((256 - opacity) * frame + opacity * overlay) >> 8;
}

// A bitmap file written by the ffmpeg tool in the given pixel format, from an RGB source so
// that colours stay exact.
void WriteBmp(const std::string& path, const std::string& source, const std::string& pixelFormat) {
    Ffmpeg("-f lavfi -i " + ShellQuote(source + ",format=bgra") + " -frames:v 1 -pix_fmt " +
           pixelFormat + " " + ShellQuote(path));
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

} // namespace

TEST(WaterMarkText, PointsBecomePixelsAt96PerInch) {
    EXPECT_EQ(WaterMarkFontPixels(26), 35);
    EXPECT_EQ(WaterMarkFontPixels(12), 16);
    EXPECT_EQ(WaterMarkFontPixels(7), 9);
    EXPECT_EQ(WaterMarkFontPixels(70), 93);
    EXPECT_EQ(WaterMarkFontPixels(0), 1);
    TWaterMarkFont font;
    font.Name = Face;
    font.Size = 26;
    font.Style = TWaterMarkFont::Bold | TWaterMarkFont::Italic | TWaterMarkFont::Underline |
                 TWaterMarkFont::StrikeOut;
    const QFont q = WaterMarkQFont(font);
    EXPECT_EQ(q.pixelSize(), 35);
    EXPECT_EQ(QFontInfo(q).family().toStdString(), Face);
    EXPECT_TRUE(q.bold() && q.italic() && q.underline() && q.strikeOut());
    // The editor's box is the text's advance by the font's line height.
    const QSize extent = WaterMarkTextExtent("Vantre", font);
    EXPECT_EQ(extent.height(), QFontMetrics(q).height());
    font.Style = 0;
    EXPECT_GT(extent.width(), WaterMarkTextExtent("Vantre", font).width());
    EXPECT_GE(WaterMarkTextExtent("Vantre", font).height(), 35);
}

TEST(WaterMarkText, TransparentTextChangesOnlyGlyphPixels) {
    const TBitmap24 original = Noise(200, 60);
    TBitmap24 frame = original;
    const TWmRec item = TextItem("Vantre 42", 12, 9);
    DrawWaterMarkText(frame, item);
    const QImage mask = GlyphMask(item);
    int changed = 0;
    for (int y = 0; y < frame.Height(); ++y) {
        for (int x = 0; x < frame.Width(); ++x) {
            const bool same =
                std::equal(Pixel(frame, x, y), Pixel(frame, x, y) + 3, Pixel(original, x, y));
            if (!same) {
                ++changed;
                ASSERT_TRUE(Covered(mask, x - item.TextLeft, y - item.TextTop)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(changed, 100);
    // Glyph cores take the text colour at opacity 255: red 255 blends to 254.
    bool solidRed = false;
    for (int y = 0; y < item.TextHeight && !solidRed; ++y) {
        for (int x = 0; x < item.TextWidth && !solidRed; ++x) {
            const std::uint8_t* p = Pixel(frame, item.TextLeft + x, item.TextTop + y);
            solidRed = mask.pixel(x, y) == 0xFFFFFFFF && p[0] < 2 && p[1] < 2 && p[2] == 254;
        }
    }
    EXPECT_TRUE(solidRed);
}

TEST(WaterMarkText, OpaqueBackgroundFillsTheCellAndAnEnlargedBoxStaysWhite) {
    const TBitmap24 original = Noise(220, 60, 7);
    TBitmap24 frame = original;
    TWmRec item = TextItem("Hi there", 5, 4);
    const int cellWidth = item.TextWidth;
    item.TextWidth += 20; // enlarged in the editor
    item.TextHeight += 3;
    item.HasBackColor = true;
    item.BackColor = 0x00FF8000; // red 0, green 128, blue 255
    item.TextOpacity = 128;
    DrawWaterMarkText(frame, item);
    const QImage mask = GlyphMask(TextItem("Hi there", 5, 4));
    int cell = 0;
    for (int y = 0; y < item.TextHeight; ++y) {
        for (int x = 0; x < item.TextWidth; ++x) {
            const bool inCell = x < cellWidth && y < item.TextHeight - 3;
            if (Covered(mask, x, y)) {
                continue;
            }
            const int fx = item.TextLeft + x;
            const int fy = item.TextTop + y;
            const std::uint8_t* before = Pixel(original, fx, fy);
            const std::uint8_t* after = Pixel(frame, fx, fy);
            const int expected[3] = {inCell ? 255 : 255, inCell ? 128 : 255, inCell ? 0 : 255};
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(after[c], Blend(before[c], expected[c], 128)) << x << "," << y;
            }
            cell += inCell;
        }
    }
    EXPECT_GT(cell, 100);
    // Outside the box nothing changed.
    const int below = item.TextTop + item.TextHeight;
    ASSERT_LT(below, 60);
    EXPECT_TRUE(SamePixels(Crop(frame, 0, below, 220, 60 - below),
                           Crop(original, 0, below, 220, 60 - below)));
    EXPECT_TRUE(
        SamePixels(Crop(frame, 0, 0, 220, item.TextTop), Crop(original, 0, 0, 220, item.TextTop)));
}

TEST(WaterMarkText, BoxesPastTheLeftAndTopEdgesAreCut) {
    // The same item drawn on a large frame and on the part of it that starts 30, 10 further in:
    // the part must look exactly like the matching part of the large frame.
    for (const bool opaque : {false, true}) {
        const TBitmap24 large = Noise(150, 60, 3);
        TWmRec item = TextItem("Cut edges", 15, 5, TWaterMarkFont::Bold);
        item.HasBackColor = opaque;
        item.TextOpacity = 200;
        TBitmap24 whole = large;
        DrawWaterMarkText(whole, item);
        TBitmap24 part = Crop(large, 30, 10, 120, 50);
        item.TextLeft -= 30;
        item.TextTop -= 10;
        DrawWaterMarkText(part, item);
        EXPECT_TRUE(SamePixels(part, Crop(whole, 30, 10, 120, 50))) << opaque;
        EXPECT_FALSE(SamePixels(part, Crop(large, 30, 10, 120, 50))) << opaque;
        // Wholly outside, empty or with a degenerate box, nothing is drawn.
        for (const auto& [left, top] : std::vector<std::pair<int, int>>{
                 {-item.TextWidth, 0}, {0, -item.TextHeight}, {120, 0}, {0, 50}}) {
            TBitmap24 untouched = Crop(large, 0, 0, 120, 50);
            item.TextLeft = left;
            item.TextTop = top;
            DrawWaterMarkText(untouched, item);
            EXPECT_TRUE(SamePixels(untouched, Crop(large, 0, 0, 120, 50))) << left << "," << top;
        }
    }
}

TEST(WaterMarkText, StyleBitsAndColoursReachTheDrawing) {
    // Underline and strike-out run through the blank between two words.
    const auto inkInGap = [](int style) {
        TBitmap24 frame = Filled(200, 50, 0);
        TWmRec item = TextItem("a      b", 0, 0, style);
        item.Font.Color = 0x00FFFFFF;
        DrawWaterMarkText(frame, item);
        const int gapLeft = WaterMarkTextExtent("a ", item.Font).width();
        const int gapRight = WaterMarkTextExtent("a     ", item.Font).width();
        std::vector<int> rows;
        for (int y = 0; y < item.TextHeight; ++y) {
            if (Pixel(frame, (gapLeft + gapRight) / 2, y)[0] > 128) {
                rows.push_back(y);
            }
        }
        return rows;
    };
    EXPECT_TRUE(inkInGap(0).empty());
    const std::vector<int> under = inkInGap(TWaterMarkFont::Underline);
    const std::vector<int> struck = inkInGap(TWaterMarkFont::StrikeOut);
    ASSERT_FALSE(under.empty());
    ASSERT_FALSE(struck.empty());
    EXPECT_GT(under.front(), struck.back()); // the underline runs below the strike-out

    // Colours are 0x00BBGGRR; a set high byte names a colour of the application's palette.
    EXPECT_EQ(WaterMarkColor(0x00FF8040), QColor(0x40, 0x80, 0xFF));
    EXPECT_EQ(WaterMarkColor(0x8000000F), QGuiApplication::palette().color(QPalette::Button));
    EXPECT_EQ(WaterMarkColor(0x80000005), QGuiApplication::palette().color(QPalette::Base));
    EXPECT_EQ(WaterMarkColor(0x80000008), QGuiApplication::palette().color(QPalette::Text));
    EXPECT_EQ(WaterMarkColor(0x800000FF), QColor(Qt::black));
}

TEST(WaterMarkImage, EveryBitmapDepthReadsAs24BitAtItsOwnSize) {
    TempDir dir;
    // 16-bit pixels widen to 8 bits differently from reader to reader.
    const std::map<std::string, int> tolerance = {{"bgr24", 0},    {"bgra", 0},    {"gray", 0},
                                                  {"monob", 0},    {"pal8", 0},    {"bgr8", 0},
                                                  {"rgb555le", 7}, {"rgb565le", 7}};
    // Every depth written in one run of the tool and read back by it in another.
    std::string write = "-f lavfi -i testsrc2=size=17x9,format=bgra";
    std::string read;
    std::string outputs;
    int input = 0;
    for (const auto& [format, allowed] : tolerance) {
        write += " -frames:v 1 -pix_fmt " + format + " " + ShellQuote(dir.File(format + ".bmp"));
        read += " -i " + ShellQuote(dir.File(format + ".bmp"));
        outputs += " -map " + std::to_string(input++) + " -f rawvideo -pix_fmt bgr24 " +
                   ShellQuote(dir.File(format + ".raw"));
    }
    Ffmpeg(write);
    Ffmpeg(read + outputs);
    for (const auto& [format, allowed] : tolerance) {
        const TBitmap24 loaded = LoadBitmapFile(dir.File(format + ".bmp"));
        const TBitmap24 reference = ReadRawFrames(dir.File(format + ".raw"), 17, 9).at(0);
        ASSERT_EQ(loaded.Width(), 17) << format;
        ASSERT_EQ(loaded.Height(), 9) << format;
        int worst = 0;
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 17 * 3; ++x) {
                worst = std::max(worst, std::abs(loaded.ScanLine(y)[x] - reference.ScanLine(y)[x]));
            }
        }
        EXPECT_LE(worst, allowed) << format;
    }
    // Half-transparent pixels of a 32-bit file keep their stored colour.
    WriteBmp(dir.File("alpha.bmp"), "color=c=0xFF8400@0.5:s=4x2", "bgra");
    const TBitmap24 alpha = LoadBitmapFile(dir.File("alpha.bmp"));
    EXPECT_EQ(std::vector<int>(Pixel(alpha, 3, 1), Pixel(alpha, 3, 1) + 3),
              (std::vector<int>{0x00, 0x84, 0xFF}));
}

TEST(WaterMarkImage, UnreadableFilesRaiseTheMessageAndChangedFilesAreReadAgain) {
    TempDir dir;
    const std::string missing = dir.File("missing.bmp");
    EXPECT_EQ(ErrorOf([&] { LoadBitmapFile(missing); }),
              Format(appmsg::BitmapUnreadable, missing.c_str()));
    const std::string text = dir.File("notes.bmp");
    std::ofstream(text) << "not a bitmap";
    TWaterMarkImageCache cache;
    EXPECT_EQ(ErrorOf([&] { cache.Load(text); }), "Cannot read the bitmap file " + text);
    // A PNG is not a bitmap file, whatever its name.
    const std::string png = dir.File("logo.bmp");
    Ffmpeg("-f lavfi -i color=c=red:s=4x4 -frames:v 1 -f image2 -c:v png " + ShellQuote(png));
    EXPECT_NE(ErrorOf([&] { LoadBitmapFile(png); }), "");

    const std::string logo = dir.File("red.bmp");
    WriteBmp(logo, "color=c=red:s=4x4", "bgr24");
    WriteBmp(dir.File("blue.bmp"), "color=c=blue:s=4x4", "bgr24");
    const auto first = cache.Load(logo);
    EXPECT_EQ(cache.Load(logo), first); // unchanged: served from the copy
    EXPECT_EQ(cache.ReadCount(), 1);
    const auto modified = std::filesystem::last_write_time(logo);
    std::filesystem::copy_file(dir.File("blue.bmp"), logo,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::last_write_time(logo, modified + std::chrono::seconds(1));
    const auto second = cache.Load(logo);
    EXPECT_EQ(cache.ReadCount(), 2);
    EXPECT_EQ(Pixel(*first, 0, 0)[2], 255);
    EXPECT_EQ(Pixel(*second, 0, 0)[0], 255);
    EXPECT_EQ(Pixel(*second, 0, 0)[2], 0);
    std::filesystem::remove(logo);
    EXPECT_EQ(ErrorOf([&] { cache.Load(logo); }), "Cannot read the bitmap file " + logo);
}

TEST(WaterMarkRenderer, AdjustmentsFirstThenItemsInListOrderAtTheirSeconds) {
    TempDir dir;
    WriteBmp(dir.File("grey.bmp"), "color=c=0xC8C8C8:s=2x2", "bgr24");
    WriteBmp(dir.File("dark.bmp"), "color=c=0x646464:s=2x2", "bgr24");
    TlvFilesRecord job;
    job.Brightness = 512;
    job.Saturation = 256;
    TWmRec below;
    below.Kind = TWmRec::ImageItem;
    below.ImageFile = dir.File("grey.bmp");
    below.ImageWidth = below.ImageHeight = 40; // the editor's size is not the drawn size
    below.EndSec = 10;
    TWmRec above = below;
    above.ImageFile = dir.File("dark.bmp");
    above.ImageLeft = above.ImageTop = 1;
    above.StartSec = above.EndSec = 3;
    job.WaterMarks = {below, above};

    TWaterMarkRenderer renderer;
    TBitmap24 frame = Filled(4, 4, 50);
    EXPECT_TRUE(renderer.Render(job, frame, 3500000));
    // 50 brightened to 99; the grey image over it at 255: 199; the dark one over that: 100.
    EXPECT_EQ(Pixel(frame, 0, 0)[0], 199);
    EXPECT_EQ(Pixel(frame, 1, 1)[1], 100);
    EXPECT_EQ(Pixel(frame, 3, 3)[2], 99); // beyond both files: the 40 by 40 box is unused
    frame = Filled(4, 4, 50);
    renderer.Render(job, frame, 4000000);
    EXPECT_EQ(Pixel(frame, 1, 1)[1], 199);
    EXPECT_EQ(renderer.Images().ReadCount(), 2); // each file read once

    // Brightness 255 is neutral: exposure alone leaves the colour routine out.
    TlvFilesRecord exposed;
    exposed.Exposure = 100;
    const TBitmap24 levels = Noise(16, 16);
    TBitmap24 expected = levels;
    AdjustExposure(expected, 100);
    frame = levels;
    renderer.Render(exposed, frame, 0);
    EXPECT_TRUE(SamePixels(frame, expected));
    // Neutral settings without an item of the moment leave the frame bit-identical.
    TlvFilesRecord neutral;
    neutral.WaterMarks = {above};
    frame = levels;
    EXPECT_FALSE(renderer.Render(neutral, frame, 2999999));
    EXPECT_TRUE(SamePixels(frame, levels));
}

TEST(WaterMarkRenderer, UnreadableImageLeavesTheFrameAndTheNextFrameTriesAgain) {
    TempDir dir;
    TlvFilesRecord job;
    job.Brightness = 400;
    job.WaterMarks = {TextItem("Before the image", 2, 2)};
    TWmRec image;
    image.Kind = TWmRec::ImageItem;
    image.ImageFile = dir.File("later.bmp");
    image.EndSec = 5;
    job.WaterMarks.push_back(image);

    TWaterMarkRenderer renderer;
    const TBitmap24 original = Noise(160, 40);
    TBitmap24 frame = original;
    EXPECT_EQ(ErrorOf([&] { renderer.Render(job, frame, 0); }),
              "Cannot read the bitmap file " + image.ImageFile);
    EXPECT_TRUE(SamePixels(frame, original));
    WriteBmp(image.ImageFile, "color=c=white:s=8x8", "bgr24");
    EXPECT_TRUE(renderer.Render(job, frame, 40000));
    EXPECT_EQ(Pixel(frame, 0, 0)[0], 254);
    EXPECT_FALSE(SamePixels(Crop(frame, 20, 20, 100, 20), Crop(original, 20, 20, 100, 20)));
}

TEST(WaterMarkRenderer, TheHookFindsTheJobThroughTaskRows) {
    std::map<int, TlvFilesRecord> rows;
    rows[1].Brightness = 512;
    rows[1].Saturation = 256;
    rows[3].Contrast = -100;
    const std::vector<int> taskRows = {3, 1, 7};
    const TJobOfRow jobOfRow = [&](int row) -> const TlvFilesRecord* {
        const auto found = rows.find(row);
        return found == rows.end() ? nullptr : &found->second;
    };
    TWaterMarkRenderer renderer;
    const auto hook = [&](int task) {
        TBitmap24 frame = Filled(2, 1, 50);
        THookInfo info;
        info.TaskIndex = task;
        info.Bitmap = &frame;
        renderer.Render(info, taskRows, jobOfRow);
        return std::make_pair(static_cast<int>(Pixel(frame, 1, 0)[0]), info.Update);
    };
    EXPECT_EQ(hook(0), std::make_pair(170, true));
    EXPECT_EQ(hook(1), std::make_pair(99, true));
    // A task without a job, or beyond the table, is left alone and not written back.
    EXPECT_EQ(hook(2), std::make_pair(50, false));
    EXPECT_EQ(hook(3), std::make_pair(50, false));
    EXPECT_EQ(hook(-1), std::make_pair(50, false));
}
