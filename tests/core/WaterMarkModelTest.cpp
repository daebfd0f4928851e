// The watermark and effects editor without widgets: the list of items and their layers, the
// controls' rules, the range, OK and reopening, and the repairs of the rebuild, driven with
// real clips and bitmap files; the output side through the conversion's own renderer.
#include "WaterMarkModel.h"
#include "AVProbe.h"
#include "AppMessages.h"
#include "BitmapImage.h"
#include "LayerGeometry.h"
#include "PictureEffects.h"
#include "RecordingShell.h"
#include "RenderTestHelpers.h"
#include "WaterMarkColor.h"
#include "WaterMarkColorList.h"
#include "WaterMarkImageCache.h"
#include "WaterMarkMessages.h"
#include "WaterMarkRenderer.h"
#include "WaterMarkText.h"

#include <QGuiApplication>
#include <QImage>
#include <QPalette>

#include <gtest/gtest.h>

#include <fstream>

using testing_support::RecordingShell;
using testing_support::TempDir;

namespace {

constexpr int Width = 32;
constexpr int Height = 24;

// Clips and bitmaps made once for the whole program.
struct Fixtures {
    TempDir dir;
    std::string longClip = dir.File("long clip.mkv"); // 90.7 s
    std::string shortClip = dir.File("short.mkv");    // 3 s
    std::string logo = dir.File("logo.bmp");          // 12 x 8
    std::string broken = dir.File("broken.bmp");
    Fixtures() {
        testing_support::Ffmpeg("-f lavfi -i testsrc=size=32x24:rate=10 -t 90.7 -c:v mpeg4 " +
                                testing_support::ShellQuote(longClip));
        testing_support::MakeClip(shortClip, 3, Width, Height, 10, 0, "-c:v mpeg4");
        QImage picture(12, 8, QImage::Format_RGB32);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 12; ++x) {
                picture.setPixel(x, y, qRgb(x * 20, y * 30, 200));
            }
        }
        EXPECT_TRUE(picture.save(QString::fromStdString(logo), "BMP"));
        std::ofstream(broken) << "not a bitmap";
    }
};

const Fixtures& Files() {
    static const Fixtures fixtures;
    return fixtures;
}

// The duration the probe reads from a clip's video stream, in microseconds.
std::int64_t ClipDuration(const std::string& path) {
    testing_support::RequireEncoderLibraries();
    TAVProbe probe;
    EXPECT_TRUE(probe.LoadFile(path)) << probe.LastErrorText();
    TFileStreamInfo file;
    EXPECT_TRUE(probe.GetFileStreamInfo(file));
    return file.Duration;
}

const std::vector<std::string> Fonts = {"DejaVu Sans", "DejaVu Serif"};

// A model opened on a job of the clip, its file reported open as the player reports it.
struct Editor {
    RecordingShell shell;
    TScopedShell scoped{shell};
    TlvFilesRecord job;
    TWaterMarkModel model{Fonts};
    int changes = 0;

    explicit Editor(const std::string& clip = Files().shortClip) {
        job.SourceFile = clip;
        model.SetOnChanged([this](unsigned) { ++changes; });
    }
    void Open() {
        model.Open(job, -1);
        model.FileOpened(ClipDuration(job.SourceFile), Width, Height);
    }
    const TWmItemRec& Selected() const { return model.Row(model.SelectedLayer()); }
    int AddImage(const std::string& path, QPointF centre = {16, 12}) {
        shell.fileAnswers.push_back({path});
        return model.AddImage(centre);
    }
};

TBitmap24 Frame(int level = 40) {
    return render_test::Filled(Width, Height, level);
}

// A layer's place as OK stores it.
QRect Stored(const QRectF& rect) {
    return QRect(RoundPixel(rect.left()), RoundPixel(rect.top()), RoundPixel(rect.width()),
                 RoundPixel(rect.height()));
}

} // namespace

TEST(WaterMarkColorListTest, NamedColoursInTheListOrderWithoutNoneOrDefault) {
    const std::vector<TWaterMarkColorEntry>& list = WaterMarkColorList();
    ASSERT_EQ(list.size(), 50u);
    const char* standard[] = {"Black", "Maroon",  "Green",  "Olive", "Navy", "Purple",
                              "Teal",  "Gray",    "Silver", "Red",   "Lime", "Yellow",
                              "Blue",  "Fuchsia", "Aqua",   "White"};
    for (int i = 0; i < 16; ++i) {
        EXPECT_STREQ(list[i].Name, standard[i]);
    }
    EXPECT_STREQ(list[WaterMarkDefaultFontColorIndex].Name, "Blue");
    EXPECT_EQ(WaterMarkColor(list[WaterMarkDefaultFontColorIndex].Value), QColor(0, 0, 255));
    EXPECT_STREQ(list[WaterMarkDefaultBackColorIndex].Name, "Green");
    EXPECT_EQ(WaterMarkColor(list[WaterMarkDefaultBackColorIndex].Value), QColor(0, 128, 0));
    EXPECT_EQ(WaterMarkColor(list[17].Value), QColor(166, 202, 240)); // sky blue
    for (const TWaterMarkColorEntry& entry : list) {
        EXPECT_STRNE(entry.Name, "None");
        EXPECT_STRNE(entry.Name, "Default");
        EXPECT_EQ(WaterMarkColorIndex(entry.Value), &entry - list.data()) << entry.Name;
    }
    // System colours come out as the palette of the moment.
    const int window = WaterMarkColorIndex(0xFF000005);
    ASSERT_GE(window, 20);
    EXPECT_STREQ(list[window].Name, "Window");
    EXPECT_EQ(WaterMarkColor(list[window].Value), QGuiApplication::palette().color(QPalette::Base));
    EXPECT_EQ(WaterMarkColorIndex(0x123456), -1);
}

TEST(WaterMarkModelTest, OpeningSetsTheControlsOfANewListAndTheJobsAdjustments) {
    Editor editor;
    editor.job.Brightness = 300;
    editor.job.Contrast = -20;
    editor.job.Saturation = 700; // beyond the slider: the slider's end
    editor.job.Exposure = 12;
    editor.model.Open(editor.job, 5000000);
    const TWaterMarkControls& c = editor.model.Controls();
    EXPECT_EQ(c.FontName, "DejaVu Sans");
    EXPECT_EQ(c.FontSize, 26);
    EXPECT_EQ(TWaterMarkModel::FontSizes().size(), 64u);
    EXPECT_EQ(TWaterMarkModel::FontSizes()[19], "26");
    EXPECT_EQ(c.FontColor, 0xFF0000u);
    EXPECT_EQ(c.BackColor, 0x008000u);
    EXPECT_EQ(c.Transparency, 125);
    EXPECT_TRUE(c.HasBackColor);
    EXPECT_EQ(c.Adjustments, (TWaterMarkAdjustments{300, -20, 512, 12}));
    EXPECT_EQ(editor.model.PreviewHook().Adjustments(), c.Adjustments);
    EXPECT_EQ(editor.model.SourceDuration(), 5000000);
    EXPECT_EQ(editor.model.Count(), 0);

    EXPECT_EQ(TWaterMarkModel::Caption("/v/clip.avi"), "Water Mark  /v/clip.avi");
    const std::string longPath = "/home/person/videos/holidays/2023/summer/the beach/clip.avi";
    ASSERT_GE(longPath.size(), 56u);
    EXPECT_EQ(TWaterMarkModel::Caption(longPath),
              "Water Mark  " + longPath.substr(0, 50) + "...avi  ");
    EXPECT_EQ(TWaterMarkModel::RangeText(3725), "1:02:05");
    EXPECT_EQ(TWaterMarkModel::RangeText(-4), "0:00:00");
}

TEST(WaterMarkModelTest, NewTextStartsTransparentAndLastsTheWholeSecondsOfTheClip) {
    Editor editor(Files().longClip);
    editor.Open();
    EXPECT_EQ(editor.model.SourceDuration(), 90700000);
    EXPECT_EQ(editor.model.Controls().RangeMax, 90);
    EXPECT_EQ(editor.model.Controls().HorizontalMax, Width);
    EXPECT_EQ(editor.model.Controls().VerticalMax, Height);

    editor.model.SetHasBackColor(true); // "Background color" chosen before adding
    editor.model.SetTransparency(200);
    const int row = editor.model.AddText({16, 12});
    ASSERT_EQ(row, 0);
    const TWmItemRec& item = editor.model.Row(0);
    EXPECT_EQ(item.RowText(), wmmsg::NewTextRow);
    EXPECT_FALSE(item.HasBackColor);
    EXPECT_FALSE(editor.model.Controls().HasBackColor);
    EXPECT_FALSE(editor.model.Controls().BackColorEnabled);
    EXPECT_EQ(item.StartSec, 0);
    EXPECT_EQ(item.EndSec, 90);
    EXPECT_EQ(item.TextOpacity, 200);
    EXPECT_EQ(item.Layer.Opacity, 200);
    EXPECT_EQ(item.Font.Color, 0xFF0000u);
    EXPECT_EQ(item.BackColor, 0x008000u);
    // The layer is the measured text, centred, with nothing but glyphs in it.
    const QSize extent = WaterMarkTextExtent(wmmsg::NewTextRow, item.Font);
    EXPECT_EQ(item.Layer.Picture.size(), extent);
    EXPECT_DOUBLE_EQ(item.Layer.Rect.center().x(), 16);
    EXPECT_DOUBLE_EQ(item.Layer.Rect.center().y(), 12);
    EXPECT_EQ(qAlpha(item.Layer.Picture.pixel(extent.width() - 1, 0)), 0);
    EXPECT_EQ(editor.model.SelectedLayer(), 0);
    EXPECT_EQ(editor.model.Controls().End, 90);
    EXPECT_EQ(editor.model.Controls().EndText, "0:01:30");
}

TEST(WaterMarkModelTest, TheRangeNeverLetsTheStartReachTheEnd) {
    Editor editor;
    editor.Open();
    ASSERT_EQ(editor.model.Controls().RangeMax, 3);
    editor.model.AddText({10, 10});
    const TWmItemRec& item = editor.model.Row(0);
    editor.model.SetStart(3);
    EXPECT_EQ(editor.model.Controls().Start, 2);
    EXPECT_EQ(item.StartSec, 2);
    EXPECT_EQ(item.EndSec, 3);
    editor.model.SetEnd(0);
    EXPECT_EQ(editor.model.Controls().End, 3);
    editor.model.StartDown();
    editor.model.EndDown();
    EXPECT_EQ(item.StartSec, 1);
    EXPECT_EQ(item.EndSec, 2);
    editor.model.EndDown();
    EXPECT_EQ(item.EndSec, 2);
    editor.model.StartUp();
    EXPECT_EQ(item.StartSec, 1);
    EXPECT_EQ(editor.model.Controls().StartText, "0:00:01");
    EXPECT_EQ(editor.model.Controls().EndText, "0:00:02");
    // Any walk of the four arrows keeps the rule.
    std::uint32_t state = 7;
    for (int step = 0; step < 200; ++step) {
        state = state * 1103515245u + 12345u;
        switch ((state >> 16) % 4) {
        case 0:
            editor.model.StartUp();
            break;
        case 1:
            editor.model.StartDown();
            break;
        case 2:
            editor.model.EndUp();
            break;
        default:
            editor.model.EndDown();
        }
        ASSERT_LE(item.StartSec, item.EndSec - 1);
        ASSERT_GE(item.StartSec, 0);
        ASSERT_LE(item.EndSec, 3);
    }
}

TEST(WaterMarkModelTest, SlidersMoveTheSelectedLayerOnlyFromInsideTheirRange) {
    Editor editor;
    editor.Open();
    editor.model.AddText({16, 12});
    const TWmItemRec& item = editor.Selected();
    const QSizeF size = item.Layer.Rect.size();
    editor.model.SetLayerRect(0, QRectF(QPointF(1, 1), size));
    editor.model.SetHorizontal(5);
    editor.model.SetVertical(7);
    EXPECT_EQ(item.Layer.Rect.topLeft(), QPointF(5, 7));
    EXPECT_EQ(item.Layer.Rect.size(), size);
    editor.model.SetHorizontal(99); // beyond the frame: the slider's end
    EXPECT_EQ(editor.model.Controls().Horizontal, Width);
    EXPECT_EQ(item.Layer.Rect.left(), Width);

    // Dragged partly left of the picture, the slider no longer moves it.
    editor.model.SetLayerRect(0, QRectF(QPointF(-10.4, 3), size));
    editor.model.SetHorizontal(20);
    EXPECT_DOUBLE_EQ(item.Layer.Rect.left(), -10.4);
    editor.model.SetVertical(2);
    EXPECT_EQ(item.Layer.Rect.top(), 2);
    // The mouse over the view puts the sliders on the layer; the slider then stays at 0 and
    // the layer stays out.
    editor.model.MouseOverView();
    EXPECT_EQ(editor.model.Controls().Horizontal, 0);
    EXPECT_DOUBLE_EQ(item.Layer.Rect.left(), -10.4);
    // A layer at a fractional place snaps to the whole pixel the slider takes.
    editor.model.SetLayerRect(0, QRectF(QPointF(8.6, 2), size));
    editor.model.MouseOverView();
    EXPECT_EQ(editor.model.Controls().Horizontal, 9);
    EXPECT_EQ(item.Layer.Rect.left(), 9);

    // Without a selected layer the sliders move nothing.
    editor.model.ClearLayerSelection();
    editor.model.SetHorizontal(1);
    EXPECT_EQ(item.Layer.Rect.left(), 9);
    editor.model.SetTransparency(10);
    EXPECT_EQ(item.Layer.Opacity, 125);
}

TEST(WaterMarkModelTest, StyleAndTextChangesRedrawTheSelectedTextLayer) {
    Editor editor;
    editor.Open();
    editor.model.AddText({16, 12});
    const TWmItemRec& item = editor.Selected();
    editor.model.SetRowText("Hi");
    EXPECT_EQ(item.RowText(), "Hi");
    const QSize plain = item.Layer.Picture.size();
    EXPECT_EQ(plain, WaterMarkTextExtent("Hi", item.Font));
    editor.model.SetLayerRect(0, QRectF(QPointF(2.4, 3), QSizeF(plain)));
    editor.model.MouseOverView();
    EXPECT_EQ(item.Layer.Rect.topLeft(), QPointF(2, 3));

    editor.model.SetFontSize(40);
    EXPECT_EQ(item.Font.Size, 40);
    EXPECT_GT(item.Layer.Picture.height(), plain.height());
    EXPECT_EQ(item.Layer.Rect.size(), QSizeF(item.Layer.Picture.size()));
    editor.model.SetFontStyle(TWaterMarkFont::Bold, true);
    EXPECT_EQ(item.Font.Style, TWaterMarkFont::Bold);
    EXPECT_EQ(item.Layer.Picture.size(), WaterMarkTextExtent("Hi", item.Font));
    editor.model.SetFontName("DejaVu Serif");
    EXPECT_EQ(item.Font.Name, "DejaVu Serif");

    // A background fills the cell with its colour.
    editor.model.SetBackColor(0x0000FF);
    editor.model.SetHasBackColor(true);
    EXPECT_TRUE(item.HasBackColor);
    EXPECT_TRUE(editor.model.Controls().BackColorEnabled);
    EXPECT_EQ(item.Layer.Picture.pixel(0, 0), qRgb(255, 0, 0));
    editor.model.SetFontColor(0x00FFFF);
    EXPECT_EQ(item.Font.Color, 0x00FFFFu);
    editor.model.SetHasBackColor(false);
    EXPECT_EQ(qAlpha(item.Layer.Picture.pixel(0, 0)), 0);
    EXPECT_FALSE(editor.model.Controls().BackColorEnabled);

    // A blank text keeps the last picture; the place never changes.
    const QImage before = item.Layer.Picture;
    editor.model.SetRowText("   ");
    EXPECT_EQ(item.Layer.Picture, before);
    EXPECT_EQ(item.Layer.Rect.topLeft(), QPointF(2, 3));
}

TEST(WaterMarkModelTest, SelectingShowsTheItemAndImagesDisableTheFontControls) {
    Editor editor;
    editor.Open();
    editor.model.SetFontStyle(TWaterMarkFont::Italic, true);
    editor.model.AddText({16, 12});
    editor.model.SetStart(1);
    ASSERT_EQ(editor.AddImage(Files().logo), 1);
    EXPECT_FALSE(editor.model.Controls().FontControlsEnabled);
    EXPECT_FALSE(editor.model.Controls().BackColorEnabled);
    EXPECT_EQ(editor.model.Controls().Start, 0);
    editor.model.SetFontStyle(TWaterMarkFont::Italic, false);
    editor.model.SetTransparency(90);
    EXPECT_EQ(editor.model.Row(1).Layer.Opacity, 90);

    editor.model.SelectRow(0);
    const TWaterMarkControls& c = editor.model.Controls();
    EXPECT_TRUE(c.FontControlsEnabled);
    EXPECT_EQ(c.FontStyle, TWaterMarkFont::Italic);
    EXPECT_EQ(c.Transparency, 125);
    EXPECT_EQ(c.Start, 1);
    EXPECT_EQ(c.StartText, "0:00:01");
    EXPECT_EQ(c.Horizontal,
              std::clamp(RoundPixel(editor.model.Row(0).Layer.Rect.left()), 0, Width));
    editor.model.ClearLayerSelection();
    EXPECT_EQ(editor.model.SelectedLayer(), -1);
    EXPECT_EQ(editor.model.SelectedRow(), 0);
}

TEST(WaterMarkModelTest, UpAndDownMoveTheRowAndItsStackingPlace) {
    Editor editor;
    editor.Open();
    editor.model.AddText({8, 8});
    editor.model.SetRowText("one");
    ASSERT_EQ(editor.AddImage(Files().logo), 1);
    editor.model.AddText({20, 8});
    editor.model.SetRowText("three");
    auto order = [&] {
        std::vector<std::string> texts;
        for (const TWmItemRec& row : editor.model.Rows()) {
            texts.push_back(row.Kind == TWmRec::ImageItem ? "logo" : row.Text);
        }
        return texts;
    };
    EXPECT_FALSE(editor.model.CanMoveDown());
    editor.model.MoveUp();
    EXPECT_EQ(order(), (std::vector<std::string>{"one", "three", "logo"}));
    EXPECT_EQ(editor.model.SelectedLayer(), 1);
    editor.model.MoveUp();
    EXPECT_EQ(order(), (std::vector<std::string>{"three", "one", "logo"}));
    EXPECT_FALSE(editor.model.CanMoveUp());
    editor.model.MoveUp();
    EXPECT_EQ(order(), (std::vector<std::string>{"three", "one", "logo"}));
    editor.model.MoveDown();
    EXPECT_EQ(order(), (std::vector<std::string>{"one", "three", "logo"}));
    editor.model.ClearLayerSelection(); // only a selected layer moves
    editor.model.MoveDown();
    EXPECT_EQ(order(), (std::vector<std::string>{"one", "three", "logo"}));

    // The stored list keeps the order: the last item is drawn over the others.
    editor.model.Store(editor.job);
    ASSERT_EQ(editor.job.WaterMarks.size(), 3u);
    EXPECT_EQ(editor.job.WaterMarks[0].Text, "one");
    EXPECT_EQ(editor.job.WaterMarks[1].Text, "three");
    EXPECT_EQ(editor.job.WaterMarks[2].Kind, TWmRec::ImageItem);
}

TEST(WaterMarkModelTest, DeleteSelectsTheRowBeforeWithItsLayer) {
    Editor editor;
    editor.Open();
    for (const char* text : {"a", "b", "c"}) {
        const int row = editor.model.AddText({10, 10});
        editor.model.SetRowText(text);
        editor.model.SetLayerRect(row, QRectF(QPointF(1, 1), editor.Selected().Layer.Rect.size()));
    }
    editor.model.SelectRow(1);
    editor.model.Delete();
    ASSERT_EQ(editor.model.Count(), 2);
    EXPECT_EQ(editor.model.SelectedLayer(), 0);
    EXPECT_EQ(editor.Selected().Text, "a");
    editor.model.SetHorizontal(3); // moves the newly selected layer, not the deleted one
    EXPECT_EQ(editor.model.Row(0).Layer.Rect.left(), 3);
    editor.model.Delete();
    EXPECT_EQ(editor.model.SelectedLayer(), 0);
    EXPECT_EQ(editor.Selected().Text, "c");
    editor.model.Delete();
    EXPECT_EQ(editor.model.Count(), 0);
    EXPECT_EQ(editor.model.SelectedRow(), -1);
    EXPECT_EQ(editor.model.SelectedLayer(), -1);
    editor.model.Delete(); // nothing selected: nothing happens
    EXPECT_FALSE(editor.model.Controls().PositionEnabled);
}

TEST(WaterMarkModelTest, AnImageThatCannotBeReadLeavesNoRowAndSaysSo) {
    Editor editor;
    editor.Open();
    EXPECT_EQ(editor.AddImage(Files().broken), -1);
    EXPECT_EQ(editor.model.Count(), 0);
    ASSERT_EQ(editor.shell.messages.size(), 1u);
    EXPECT_EQ(editor.shell.messages[0].text, "Cannot read the bitmap file " + Files().broken);
    EXPECT_EQ(editor.shell.messages[0].caption, appmsg::WarningCaption);
    ASSERT_EQ(editor.shell.dialogs.size(), 1u);
    // A cancelled file dialog adds nothing and says nothing.
    EXPECT_EQ(editor.model.AddImage({1, 1}), -1);
    EXPECT_EQ(editor.shell.messages.size(), 1u);
    EXPECT_EQ(editor.model.Count(), 0);
}

TEST(WaterMarkModelTest, AResizedImageIsStoredAtItsNewSizeAndDrawnAtTheFilesSize) {
    Editor editor;
    editor.Open();
    ASSERT_EQ(editor.AddImage(Files().logo, {16, 12}), 0);
    const TWmItemRec& item = editor.model.Row(0);
    EXPECT_EQ(item.Layer.Rect, QRectF(10, 8, 12, 8));
    editor.model.SetTransparency(255);
    // Dragged by its bottom-right handle, then moved.
    QRectF rect = DragLayerRect(item.Layer.Rect, TLayerHandle::BottomRight, {8, 4}, false);
    rect = DragLayerRect(rect, TLayerHandle::Move, {-6, -5}, false);
    editor.model.SetLayerRect(0, rect);
    editor.model.SetStart(1);
    editor.model.Store(editor.job);
    ASSERT_EQ(editor.job.WaterMarks.size(), 1u);
    const TWmRec& stored = editor.job.WaterMarks[0];
    EXPECT_EQ(stored.Kind, TWmRec::ImageItem);
    EXPECT_EQ(stored.ImageFile, Files().logo);
    EXPECT_EQ(stored.ImageLeft, 4);
    EXPECT_EQ(stored.ImageTop, 3);
    EXPECT_EQ(stored.ImageWidth, 20);
    EXPECT_EQ(stored.ImageHeight, 12);
    EXPECT_EQ(stored.ImageOpacity, 255);

    // The conversion draws the file at its own 12 by 8, from its second on.
    TWaterMarkRenderer renderer;
    TBitmap24 early = Frame();
    EXPECT_FALSE(renderer.Render(editor.job, early, 500000));
    TBitmap24 frame = Frame();
    ASSERT_TRUE(renderer.Render(editor.job, frame, 1500000));
    TBitmap24 expected = Frame();
    BlendBitmap(expected, LoadBitmapFile(Files().logo), 4, 3, 255);
    EXPECT_TRUE(render_test::SamePixels(frame, expected));
    EXPECT_EQ(render_test::Pixel(frame, 4 + 12, 3)[0], 40); // right of the file's width
}

TEST(WaterMarkModelTest, OkThenReopeningShowsTheSameItemsAtTheSamePlaces) {
    Editor editor;
    editor.Open();
    editor.model.AddText({16, 12});
    editor.model.SetRowText("Top");
    editor.model.SetFontStyle(TWaterMarkFont::Underline, true);
    editor.model.SetLayerRect(0, QRectF(QPointF(1, 1), editor.model.Row(0).Layer.Rect.size()));
    editor.model.SetHorizontal(3);
    editor.model.SetVertical(4);
    editor.model.SetTransparency(240);
    editor.model.SetEnd(2);
    ASSERT_EQ(editor.AddImage(Files().logo), 1);
    editor.model.SetLayerRect(1, QRectF(20.4, 13.6, 30.2, 9.5));
    editor.model.SetTransparency(77);
    editor.model.SetBrightness(280);
    editor.model.SetExposure(-30);
    editor.job.WaterMarks.push_back({}); // a longer stored list is cut to the rows
    editor.model.Store(editor.job);
    ASSERT_EQ(editor.job.WaterMarks.size(), 2u);
    EXPECT_EQ(editor.job.Brightness, 280);
    EXPECT_EQ(editor.job.Exposure, -30);
    const TWmRec& text = editor.job.WaterMarks[0];
    EXPECT_EQ(text.Text, "Top");
    EXPECT_EQ(text.TextLeft, 3);
    EXPECT_EQ(text.TextTop, 4);
    const QSize extent = WaterMarkTextExtent("Top", text.Font);
    EXPECT_EQ(text.TextWidth, extent.width());
    EXPECT_EQ(text.TextHeight, extent.height());
    EXPECT_EQ(text.TextOpacity, 240);
    EXPECT_EQ(text.Font.Style, TWaterMarkFont::Underline);
    EXPECT_EQ(text.EndSec, 2);
    EXPECT_EQ(editor.job.WaterMarks[1].ImageLeft, 20);
    EXPECT_EQ(editor.job.WaterMarks[1].ImageTop, 14);
    EXPECT_EQ(editor.job.WaterMarks[1].ImageWidth, 30);
    EXPECT_EQ(editor.job.WaterMarks[1].ImageHeight, 10);

    Editor again;
    again.job = editor.job;
    again.Open();
    ASSERT_EQ(again.model.Count(), 2);
    EXPECT_EQ(again.model.SelectedLayer(), 1); // the last row
    for (int row = 0; row < 2; ++row) {
        const TWmItemRec& before = editor.model.Row(row);
        const TWmItemRec& after = again.model.Row(row);
        EXPECT_EQ(after.RowText(), before.RowText());
        EXPECT_EQ(after.Layer.Rect.toRect(), Stored(before.Layer.Rect)) << row;
        EXPECT_EQ(after.Layer.Opacity, before.Layer.Opacity);
        EXPECT_EQ(after.StartSec, before.StartSec);
        EXPECT_EQ(after.EndSec, before.EndSec);
    }
    EXPECT_EQ(again.model.Row(0).Layer.Picture, editor.model.Row(0).Layer.Picture);
    EXPECT_EQ(again.model.Controls().Adjustments, (TWaterMarkAdjustments{280, 0, 255, -30}));
    // Stored again unchanged.
    TlvFilesRecord copy = again.job;
    again.model.Store(copy);
    EXPECT_EQ(copy.WaterMarks[0].TextLeft, 3);
    EXPECT_EQ(copy.WaterMarks[1].ImageWidth, 30);
    EXPECT_EQ(copy.WaterMarks[1].ImageOpacity, 77);
}

TEST(WaterMarkModelTest, TheRebuildSkipsBlankItemsAndKeepsUnreadableImages) {
    Editor editor;
    TWmRec blank;
    blank.Text = "  ";
    blank.HasBackColor = true;
    TWmRec text;
    text.Text = "Kept";
    text.Font.Size = 8;
    text.TextLeft = 2;
    text.TextTop = 3;
    text.TextWidth = 60; // enlarged in the editor: the rest of the box is white, as in the output
    text.TextHeight = 20;
    text.HasBackColor = true;
    text.BackColor = 0x0000FF;
    TWmRec noFile;
    noFile.Kind = TWmRec::ImageItem;
    TWmRec missing;
    missing.Kind = TWmRec::ImageItem;
    missing.ImageFile = Files().dir.File("gone.bmp");
    missing.ImageLeft = 1;
    missing.ImageWidth = 5;
    missing.ImageHeight = 6;
    editor.job.WaterMarks = {blank, text, noFile, missing};
    editor.Open();
    ASSERT_EQ(editor.model.Count(), 2);
    EXPECT_EQ(editor.model.Row(0).Text, "Kept");
    const QImage& picture = editor.model.Row(0).Layer.Picture;
    EXPECT_EQ(picture.size(), QSize(60, 20));
    EXPECT_EQ(picture.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(picture.pixel(59, 19), qRgb(255, 255, 255));
    EXPECT_EQ(editor.model.Row(1).ImageFile, missing.ImageFile);
    EXPECT_TRUE(editor.model.Row(1).Layer.Picture.isNull());
    EXPECT_EQ(editor.model.Row(1).Layer.Rect, QRectF(1, 0, 5, 6));
    ASSERT_EQ(editor.shell.messages.size(), 1u);
    EXPECT_EQ(editor.shell.messages[0].text, "Cannot read the bitmap file " + missing.ImageFile);
    editor.model.Store(editor.job);
    ASSERT_EQ(editor.job.WaterMarks.size(), 2u);
    EXPECT_EQ(editor.job.WaterMarks[1].ImageFile, missing.ImageFile);
    EXPECT_EQ(editor.job.WaterMarks[1].ImageWidth, 5);
}

TEST(WaterMarkModelTest, OkBeforeTheFileOpenedKeepsTheStoredItems) {
    Editor editor;
    TWmRec text;
    text.Text = "Stay";
    editor.job.WaterMarks = {text};
    editor.model.Open(editor.job, -1); // the player never reported the file open
    editor.model.SetContrast(40);
    EXPECT_EQ(editor.model.AddText({1, 1}), -1);
    EXPECT_EQ(editor.AddImage(Files().logo), -1);
    EXPECT_TRUE(editor.shell.dialogs.empty());
    EXPECT_EQ(editor.model.Count(), 0);
    editor.model.Store(editor.job);
    ASSERT_EQ(editor.job.WaterMarks.size(), 1u);
    EXPECT_EQ(editor.job.WaterMarks[0].Text, "Stay");
    EXPECT_EQ(editor.job.Contrast, 40);
    EXPECT_FALSE(editor.job.ProcessText);
    EXPECT_FALSE(editor.job.ProcessImage);
}

TEST(LayerGeometryTest, DragsMoveAndResizeAndCtrlKeepsTheCentre) {
    const QRectF start(10, 20, 40, 30); // centre (30, 35)
    EXPECT_EQ(DragLayerRect(start, TLayerHandle::Move, {5, -3}, true), QRectF(15, 17, 40, 30));
    EXPECT_EQ(DragLayerRect(start, TLayerHandle::Right, {6, 9}, false), QRectF(10, 20, 46, 30));
    EXPECT_EQ(DragLayerRect(start, TLayerHandle::TopLeft, {-4, 5}, false), QRectF(6, 25, 44, 25));
    // An edge never passes the other one.
    EXPECT_EQ(DragLayerRect(start, TLayerHandle::Left, {100, 0}, false), QRectF(49, 20, 1, 30));
    // Ctrl: the left edge at 4 makes a half width of 26 around the old centre.
    EXPECT_EQ(DragLayerRect(start, TLayerHandle::Left, {-6, 0}, true), QRectF(4, 20, 52, 30));
    EXPECT_EQ(DragLayerRect(start, TLayerHandle::BottomRight, {10, 5}, true),
              QRectF(0, 15, 60, 40));
    // Each half size at least 2.
    EXPECT_EQ(DragLayerRect(start, TLayerHandle::Top, {0, 40}, true), QRectF(10, 33, 40, 4));
    EXPECT_EQ(RoundPixel(2.5), 2);
    EXPECT_EQ(RoundPixel(3.5), 4);
    EXPECT_EQ(RoundPixel(-10.4), -10);
}

TEST(WaterMarkPreviewHookTest, FramesAreOutlinedAdjustedAndHandedOverTheLatestFirst) {
    TWaterMarkPreviewHook hook;
    hook.SetCrop({4, 2, 6, 8});
    int waiting = 0;
    hook.SetOnPictureWaiting([&] { ++waiting; });
    TBitmap24 frame = render_test::Noise(Width, Height);
    const TBitmap24 received = frame;
    hook.Process(frame, 1000);
    // Neutral: only the outline, 2 pixels across the crop border, in green.
    EXPECT_EQ(render_test::Pixel(frame, 3, 10)[1], 128);
    EXPECT_EQ(render_test::Pixel(frame, 4, 10)[1], 128);
    EXPECT_EQ(render_test::Pixel(frame, 4, 10)[2], 0);
    EXPECT_EQ(render_test::Pixel(frame, 25, 10)[1], 128); // right border at 32 - 6
    EXPECT_EQ(render_test::Pixel(frame, 26, 10)[1], 128);
    EXPECT_EQ(render_test::Pixel(frame, 10, 15)[1], 128); // bottom border at 24 - 8
    EXPECT_TRUE(std::equal(frame.ScanLine(10) + 5 * 3, frame.ScanLine(10) + 24 * 3,
                           received.ScanLine(10) + 5 * 3));
    EXPECT_TRUE(
        std::equal(frame.ScanLine(20), frame.ScanLine(20) + Width * 3, received.ScanLine(20)));

    hook.SetAdjustments({255, 50, 255, 0});
    TBitmap24 second = received;
    hook.Process(second, 2000);
    EXPECT_EQ(waiting, 1); // told once until taken
    TBitmap24 expected = received;
    RenderPreviewFrame(expected, hook.Crop(), {255, 50, 255, 0});
    EXPECT_TRUE(render_test::SamePixels(second, expected));
    std::optional<TWaterMarkPreviewHook::TPicture> picture = hook.Take();
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->Pts, 2000);
    EXPECT_TRUE(render_test::SamePixels(picture->Received, received));
    EXPECT_TRUE(render_test::SamePixels(picture->Shown, expected));
    EXPECT_FALSE(hook.Take().has_value());
    hook.Process(second, 3000);
    EXPECT_EQ(waiting, 2);
}

TEST(WaterMarkModelTest, PreviewPicturesShowLayersByTimeAndRerenderWhilePaused) {
    Editor editor;
    editor.job.CropLeft = 2;
    editor.Open();
    editor.model.AddText({10, 10});
    editor.model.SetStart(1);
    editor.model.SetEnd(2);
    ASSERT_EQ(editor.AddImage(Files().logo), 1);
    TBitmap24 frame = Frame(100);
    editor.model.PreviewHook().Process(frame, 2999999);
    editor.model.TakePreview();
    EXPECT_TRUE(editor.model.Row(0).Layer.Visible);
    EXPECT_TRUE(editor.model.Row(1).Layer.Visible);
    EXPECT_EQ(editor.model.BasePicture().pixel(1, 5), qRgb(0, 128, 0));
    EXPECT_EQ(editor.model.BasePicture().pixel(10, 5), qRgb(100, 100, 100));
    EXPECT_EQ(render_test::Pixel(editor.model.LastFrame(), 1, 5)[0], 100);
    frame = Frame(100);
    editor.model.PreviewHook().Process(frame, 3000000);
    editor.model.TakePreview();
    EXPECT_FALSE(editor.model.Row(0).Layer.Visible);
    EXPECT_TRUE(editor.model.Row(1).Layer.Visible);
    // Times changed while paused show at once.
    editor.model.SelectRow(0);
    editor.model.SetEnd(3);
    EXPECT_TRUE(editor.model.Row(0).Layer.Visible);

    // Paused, a slider change renders the last frame again; so does going back to neutral.
    editor.model.SetPaused(true);
    editor.model.SetBrightness(512);
    TBitmap24 expected = Frame(100);
    RenderPreviewFrame(expected, {2, 0, 0, 0}, {512, 0, 255, 0});
    EXPECT_EQ(editor.model.BasePicture(), ImageFromBitmap(expected));
    editor.model.ResetAdjustments();
    EXPECT_EQ(editor.model.BasePicture().pixel(10, 5), qRgb(100, 100, 100));
    EXPECT_EQ(editor.model.Controls().Adjustments, TWaterMarkAdjustments());
    // Playing, the hook renders the next frame instead.
    editor.model.SetPaused(false);
    editor.model.SetSaturation(0);
    EXPECT_EQ(editor.model.BasePicture().pixel(10, 5), qRgb(100, 100, 100));
    EXPECT_EQ(editor.model.PreviewHook().Adjustments().Saturation, 0);
    editor.model.ForgetLastFrame();
    EXPECT_TRUE(editor.model.LastFrame().Empty());
}
