// Watermarks and a picture adjustment burnt in by a conversion started with the main window's
// Start: the output's frames, decoded by the ffmpeg tool, compared with the source's frames
// rendered by the same routines.
#include "VantreApp.h"
#include "WinMain.h"

#include "BatchRun.h"
#include "CatalogFile.h"
#include "FormatProfile.h"
#include "GuiTestHelpers.h"
#include "RecordingShell.h"
#include "RenderTestHelpers.h"
#include "WaterMarkRenderer.h"
#include "WaterMarkText.h"
#include "WinProgress.h"

#include <QPushButton>
#include <gtest/gtest.h>

using namespace render_test;
using gui_test::WaitUntil;
using testing_support::TempDir;

namespace {

constexpr int Width = 320;
constexpr int Height = 240;
constexpr int Fps = 25;
constexpr int Seconds = 3;
constexpr int FormatCode = 2302; // MPEG-4 video in MP4

// The time the engine gives frame n, at its middle to be safe from rounding.
std::int64_t FrameTime(int n) {
    return n * 1000000LL / Fps + 500000LL / Fps;
}

} // namespace

TEST(WaterMarkThroughStart, TextAndImageInTheirSecondAtTheirPlaceAndBrightnessEverywhere) {
    testing_support::RequireEncoderLibraries();
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell(shell);
    const std::string clip = home.File("clip.mkv");
    // Mid-tone colours and greys, so that a brightness gain shows everywhere.
    testing_support::Ffmpeg(
        "-f lavfi -i testsrc2=duration=" + std::to_string(Seconds) +
        ":size=320x240:rate=25,lutrgb=r=val/2+60:g=val/2+60:b=val/2+60 -c:v mpeg4 -q:v 2 " +
        testing_support::ShellQuote(clip));
    testing_support::Ffmpeg("-f lavfi -i testsrc2=size=48x32,format=bgra -frames:v 1 -pix_fmt "
                            "bgr24 " +
                            testing_support::ShellQuote(home.File("logo.bmp")));

    auto vantre = std::make_unique<TVantreApp>(TUserPlaces{home.Path(), ""}, "");
    auto window = std::make_unique<TfrmMain>(*vantre);
    window->show();
    TSettings& settings = window->Model().Settings();
    // The format keeps the source's size and rate, at a generous bit rate.
    const TCatalogFile catalog(window->Model().Global().CatalogFile());
    TProfileChoices choices = TFormatProfile::CatalogDefaults(catalog, FormatCode);
    choices.VideoSize = {0, "320x240"};
    choices.VideoBitRate = {7, "4000"};
    choices.FrameRate = {4, "25"};
    TFormatProfile::Store(settings.Ini(), catalog, FormatCode, choices);
    settings.SetFormat("MPEG-4 Video (*.mp4)", FormatCode);

    window->AddFiles({clip});
    ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    ASSERT_EQ(window->Model().Jobs().Count(), 1);
    TlvFilesRecord& job = window->Model().Jobs().Record(0);
    TWmRec text;
    text.Text = "VANTRE";
    text.Font.Name = "DejaVu Sans";
    text.Font.Size = 20;
    text.Font.Style = TWaterMarkFont::Bold;
    text.Font.Color = 0x0000FFFF; // yellow
    text.BackColor = 0x000000FF;  // red
    text.HasBackColor = true;
    text.TextLeft = text.TextTop = 20;
    const QSize box = WaterMarkTextExtent(text.Text, text.Font);
    text.TextWidth = box.width();
    text.TextHeight = box.height();
    text.StartSec = text.EndSec = 1; // from 1.000 s up to 2.000 s
    TWmRec logo;
    logo.Kind = TWmRec::ImageItem;
    logo.ImageFile = home.File("logo.bmp");
    logo.ImageLeft = 200;
    logo.ImageTop = 150;
    logo.ImageOpacity = 200;
    logo.StartSec = logo.EndSec = 2;
    job.Brightness = 300;
    job.WaterMarks = {text, logo};
    const TlvFilesRecord expectedJob = job;

    window->Ui().btnStart->click();
    ASSERT_NE(window->ProgressWindow(), nullptr);
    // Edits made while the batch runs do not reach it: it converts the job as it was.
    job.WaterMarks.clear();
    job.Brightness = 255;
    ASSERT_TRUE(WaitUntil(
        [&] { return !window->BatchRun().Running() && !window->ProgressWindow()->isVisible(); },
        240000));
    ASSERT_EQ(window->BatchRun().Jobs().size(), 1u);
    const TBatchJob converted = window->BatchRun().Jobs()[0];
    EXPECT_EQ(converted.Outcome, TJobOutcome::Converted) << converted.Error;
    window.reset();

    const std::vector<TBitmap24> source =
        DecodeFrames(clip, home.File("source.raw"), Width, Height);
    ASSERT_EQ(source.size(), static_cast<size_t>(Seconds * Fps));
    const std::vector<TBitmap24> output =
        DecodeFrames(converted.OutputFile, home.File("output.raw"), Width, Height);
    ASSERT_EQ(output.size(), source.size());

    // Each output frame looks like its source frame with the same rendering, allowing for the
    // codec's loss (largest at the sharp edges of the red and yellow text box), and clearly
    // unlike the source with the brightness alone where an item shows.
    TWaterMarkRenderer expectation;
    TlvFilesRecord brightOnly;
    brightOnly.Brightness = 300;
    const TRect textBox{20, 20, box.width(), box.height()};
    const TRect logoBox{200, 150, 48, 32};
    const TRect whole{0, 0, Width, Height};
    for (size_t n = 0; n < source.size(); ++n) {
        const int second = static_cast<int>(n) / Fps;
        TBitmap24 expected = source[n];
        expectation.Render(expectedJob, expected, FrameTime(static_cast<int>(n)));
        TBitmap24 bright = source[n];
        expectation.Render(brightOnly, bright, 0);
        const TBitmap24& out = output[n];
        EXPECT_LT(WorstBlock(out, expected, {textBox, logoBox}), 8) << n;
        EXPECT_GT(MeanDifference(out, source[n], whole), 12) << n;
        const bool textShown = second == 1;
        const bool logoShown = second == 2;
        EXPECT_LT(MeanDifference(out, expected, textBox), textShown ? 16 : 6) << n;
        EXPECT_LT(MeanDifference(out, expected, logoBox), logoShown ? 10 : 6) << n;
        if (textShown) {
            EXPECT_GT(MeanDifference(out, bright, textBox), 50) << n;
        } else {
            EXPECT_LT(MeanDifference(out, bright, textBox), 6) << n;
        }
        if (logoShown) {
            EXPECT_GT(MeanDifference(out, bright, logoBox), 30) << n;
        } else {
            EXPECT_LT(MeanDifference(out, bright, logoBox), 6) << n;
        }
    }
}
