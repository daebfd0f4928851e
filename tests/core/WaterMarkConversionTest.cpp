// Watermarks and picture adjustments through a real batch: jobs turned into tasks by the batch
// builder, converted by the encoder component with the renderer as its custom hook, and the
// output's frames, decoded by the ffmpeg tool, compared with the source's frames rendered by
// the same routines.
#include "BatchBuilder.h"
#include "CatalogFile.h"
#include "FFEncoder.h"
#include "FFmpegLogger.h"
#include "FormatProfile.h"
#include "PictureEffects.h"
#include "RenderTestHelpers.h"
#include "Settings.h"
#include "TaskOutputs.h"
#include "WaterMarkRenderer.h"
#include "WaterMarkText.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <mutex>

using namespace render_test;
using testing_support::TempDir;

namespace {

constexpr int Width = 320;
constexpr int Height = 240;
constexpr int Fps = 25;
constexpr int Seconds = 3;
constexpr int FormatCode = 2302; // MPEG-4 video in MP4
const std::string CatalogPath = std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini";

// The time the engine gives frame n, taken at its middle to be safe from rounding.
std::int64_t FrameTime(int n) {
    return n * 1000000LL / Fps + 500000LL / Fps;
}

class LogLines {
public:
    LogLines() {
        LoggerInstance().SetLogLevel(llError);
        LoggerInstance().SetTriggerEventInMainThread(false);
        LoggerInstance().SetOnLog(
            [this](const void*, std::uint32_t, TLogLevel, const std::string& text) {
                std::lock_guard lock(mutex_);
                lines_.push_back(text);
            });
    }
    ~LogLines() {
        LoggerInstance().SetOnLog({});
        LoggerInstance().SetTriggerEventInMainThread(true);
    }
    int Count(const std::string& text) const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count(lines_.begin(), lines_.end(), text));
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace

TEST(WaterMarkConversion, WaterMarksAtTheirPlaceAndSecondAndAdjustmentsEverywhere) {
    testing_support::RequireEncoderLibraries();
    TempDir dir;
    const std::string clip = dir.File("clip.mkv");
    // Mid-tone colours and greys, so that a brightness gain shows everywhere.
    testing_support::Ffmpeg(
        "-f lavfi -i testsrc2=duration=" + std::to_string(Seconds) +
        ":size=320x240:rate=25,lutrgb=r=val/2+60:g=val/2+60:b=val/2+60 -c:v mpeg4 -q:v 2 " +
        testing_support::ShellQuote(clip));
    testing_support::Ffmpeg("-f lavfi -i testsrc2=size=48x32,format=bgra -frames:v 1 -pix_fmt "
                            "bgr24 " +
                            testing_support::ShellQuote(dir.File("logo.bmp")));

    // The format keeps the source's size and rate, at a generous bit rate.
    const std::string settingsFile = dir.File("settings.ini");
    const TCatalogFile catalog(CatalogPath);
    TProfileChoices choices = TFormatProfile::CatalogDefaults(catalog, FormatCode);
    choices.VideoSize = {0, "320x240"};
    choices.VideoBitRate = {7, "4000"};
    choices.FrameRate = {4, "25"};
    TIniFile ini(settingsFile);
    TFormatProfile::Store(ini, catalog, FormatCode, choices);
    TSettings settings(settingsFile, dir.Path());

    // Rows of the job list; row 1 is not converted.
    std::vector<TlvFilesRecord> rows(5);
    for (TlvFilesRecord& row : rows) {
        row.SourceFile = clip;
    }
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
    text.TextOpacity = 255;
    text.StartSec = text.EndSec = 1;
    TWmRec logo;
    logo.Kind = TWmRec::ImageItem;
    logo.ImageFile = dir.File("logo.bmp");
    logo.ImageLeft = 200;
    logo.ImageTop = 150;
    logo.ImageWidth = 96; // stretched in the editor; drawn at the file's 48 by 32
    logo.ImageHeight = 64;
    logo.ImageOpacity = 200;
    logo.StartSec = logo.EndSec = 2;
    rows[0].Brightness = 300;
    rows[0].WaterMarks = {text, logo};
    // An image that cannot be read: every frame is tried and left as it was.
    rows[2].Brightness = 400;
    rows[2].WaterMarks = {logo};
    rows[2].WaterMarks[0].ImageFile = dir.File("missing.bmp");
    rows[2].WaterMarks[0].StartSec = 0;
    // Neutral without items: no hook at all. Neutral with an item of second 2 only.
    rows[4].WaterMarks = {text};
    rows[4].WaterMarks[0].StartSec = rows[4].WaterMarks[0].EndSec = 2;
    const std::vector<int> taskRows = {0, 2, 3, 4};

    TFFEncoder encoder;
    TBatchBuilder builder(
        encoder, settings, TTaskOptionFiles{settingsFile, CatalogPath},
        [](const std::string&, const std::string&) { return true; },
        [](const std::string& text, const std::string&) { ADD_FAILURE() << text; });
    builder.SetOutputFolder(dir.File("out"));
    std::filesystem::create_directories(dir.File("out"));
    // Each task reserves its output when it starts; the names are known once it is finished.
    const auto reservations = std::make_shared<TTaskOutputs>();
    std::vector<std::string> outputs(taskRows.size());
    for (size_t k = 0; k < taskRows.size(); ++k) {
        std::string error;
        std::string notice;
        ASSERT_EQ(builder.AddJob(rows[taskRows[k]], FormatCode, reservations, error, notice),
                  static_cast<int>(k))
            << error;
    }

    TWaterMarkRenderer renderer;
    std::array<std::atomic<int>, 4> hookCalls{};
    encoder.OnCustomHook = [&](TCustomFFEncoder&, PHookInfo info) {
        ++hookCalls.at(static_cast<size_t>(info->TaskIndex));
        renderer.Render(*info, taskRows, [&](int row) { return &rows.at(row); });
    };
    std::mutex mutex;
    std::vector<int> finished;
    bool batchEnded = false;
    encoder.OnTerminate = [&](TCustomFFEncoder&, const TTerminateInfo& info) {
        std::lock_guard lock(mutex);
        if (info.TaskIndex < 0) {
            batchEnded = true;
        } else if (info.Finished && !info.Exception) {
            finished.push_back(info.TaskIndex);
        }
    };
    LogLines log;
    encoder.StartTask(1);
    ASSERT_TRUE(testing_support::PumpUntil(
        [&] {
            std::lock_guard lock(mutex);
            return batchEnded && finished.size() == taskRows.size();
        },
        std::chrono::seconds(240)));
    encoder.ClearTasks();
    for (size_t k = 0; k < outputs.size(); ++k) {
        ASSERT_EQ(reservations->Finish(static_cast<int>(k), &outputs[k]), 0) << k;
    }

    const std::vector<TBitmap24> source = DecodeFrames(clip, dir.File("source.raw"), Width, Height);
    ASSERT_EQ(source.size(), static_cast<size_t>(Seconds * Fps));
    std::vector<std::vector<TBitmap24>> converted;
    for (size_t k = 0; k < outputs.size(); ++k) {
        converted.push_back(
            DecodeFrames(outputs[k], dir.File("out" + std::to_string(k) + ".raw"), Width, Height));
        ASSERT_EQ(converted[k].size(), source.size()) << outputs[k];
    }

    // The watermarked job: each output frame looks like its source frame with the same
    // rendering, allowing for the codec's loss (largest at the sharp edges of the red and
    // yellow text box), and clearly unlike the source with the brightness alone where an item
    // shows.
    TWaterMarkRenderer expectation;
    TlvFilesRecord brightOnly;
    brightOnly.Brightness = 300;
    const TRect textBox{20, 20, box.width(), box.height()};
    const TRect logoBox{200, 150, 48, 32};
    const TRect whole{0, 0, Width, Height};
    for (size_t n = 0; n < source.size(); ++n) {
        const int second = static_cast<int>(n) / Fps;
        TBitmap24 expected = source[n];
        expectation.Render(rows[0], expected, FrameTime(static_cast<int>(n)));
        TBitmap24 bright = source[n];
        expectation.Render(brightOnly, bright, 0);
        const TBitmap24& out = converted[0][n];
        // Elsewhere, the stretched editor size of the logo included, only the brightness.
        EXPECT_LT(WorstBlock(out, expected, {textBox, logoBox}), 8) << n;
        EXPECT_GT(MeanDifference(out, source[n], whole), 12) << n;
        const bool textShown = second == 1;
        const bool logoShown = second == 2;
        EXPECT_LT(MeanDifference(out, expected, textBox), textShown ? 16 : 6) << n;
        EXPECT_LT(MeanDifference(out, expected, logoBox), logoShown ? 10 : 6) << n;
        if (textShown) {
            EXPECT_GT(MeanDifference(out, bright, textBox), 50) << n;
        }
        if (logoShown) {
            EXPECT_GT(MeanDifference(out, bright, logoBox), 30) << n;
        }
    }
    EXPECT_EQ(hookCalls[0], Seconds * Fps);

    // The unreadable image: logged for every frame, which stays as decoded (not brightened).
    const std::string error =
        "Error occurs OnCustomHook: Cannot read the bitmap file " + dir.File("missing.bmp");
    EXPECT_EQ(log.Count(error), Seconds * Fps);
    EXPECT_EQ(hookCalls[1], Seconds * Fps);
    for (size_t n = 0; n < source.size(); n += 7) {
        EXPECT_LT(WorstBlock(converted[1][n], source[n]), 8) << n;
    }

    // Neutral settings: no hook without items; with an item the frames before its second are
    // bit-identical to the conversion without any hook.
    EXPECT_EQ(hookCalls[2], 0);
    EXPECT_EQ(hookCalls[3], Seconds * Fps);
    for (size_t n = 0; n < 2 * Fps; ++n) {
        ASSERT_TRUE(SamePixels(converted[3][n], converted[2][n])) << n;
    }
    EXPECT_GT(MeanDifference(converted[3][2 * Fps + 5], converted[2][2 * Fps + 5], textBox), 50);
}
