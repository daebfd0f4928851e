// A portrait phone clip stored on its side, edited in the crop dialog and the watermark editor
// reached through the main window: both show it upright, and what is placed on the upright
// picture is where the conversion puts it.
#include "VantreApp.h"
#include "WinMain.h"

#include "BatchRun.h"
#include "CatalogFile.h"
#include "FormatProfile.h"
#include "GuiTestHelpers.h"
#include "LayeredView.h"
#include "RecordingShell.h"
#include "RectTracker.h"
#include "Settings.h"
#include "WinCrop.h"
#include "WinProgress.h"
#include "WinWaterMark.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>
#include <sstream>

using gui_test::WaitUntil;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

constexpr int FormatCode = 2302; // MPEG-4 video in MP4, here 320x240 with the picture stretched

// Upright 96x128: a green band 32 high on top of blue. Stored turned on its side (128x96) with
// the rotation in the container, as phones write it.
const std::string& PhoneClip() {
    static const TempDir dir;
    static const std::string path = [] {
        const std::string stored = dir.File("stored.mp4");
        testing_support::Ffmpeg(
            "-f lavfi -i \"color=green:s=96x32:r=10:d=2,format=yuv420p[t];color=blue:s=96x96:"
            "r=10:d=2,format=yuv420p[b];[t][b]vstack,transpose=clock\" -c:v libx264 -g 5 "
            "-pix_fmt yuv420p " +
            ShellQuote(stored));
        const std::string file = dir.File("phone.mp4");
        testing_support::Ffmpeg("-i " + ShellQuote(stored) + " -c copy -metadata:s:v rotate=90 " +
                                ShellQuote(file));
        return file;
    }();
    return path;
}

bool Greenish(const QColor& c) {
    return c.green() > 90 && c.red() < 70 && c.blue() < 70;
}
bool Bluish(const QColor& c) {
    return c.blue() > 150 && c.red() < 70 && c.green() < 70;
}
bool Magentaish(const QColor& c) {
    return c.red() > 150 && c.blue() > 150 && c.green() < 90;
}

// The colour of the output's first picture at (x, y), given as shares of its size.
QColor OutputPixel(const std::string& path, double x, double y) {
    const auto result = testing_support::RunCommand(
        "ffmpeg -v error -nostdin -i " + ShellQuote(path) +
        " -frames:v 1 -vf \"crop=2:2:trunc(iw*" + std::to_string(x) + "/2)*2:trunc(ih*" +
        std::to_string(y) + "/2)*2,scale=1:1\" -f rawvideo -pix_fmt rgb24 - | od -An -tu1");
    std::array<int, 3> rgb{-1, -1, -1};
    std::istringstream in(result.output);
    in >> rgb[0] >> rgb[1] >> rgb[2];
    return rgb[0] < 0 ? QColor() : QColor(rgb[0], rgb[1], rgb[2]);
}

struct RotatedClipFixture : ::testing::Test {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    std::unique_ptr<TVantreApp> vantre;
    std::unique_ptr<TfrmMain> window;

    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        vantre = std::make_unique<TVantreApp>(TUserPlaces{home.Path(), ""}, "");
        window = std::make_unique<TfrmMain>(*vantre);
        window->show();
        window->AddFiles({PhoneClip()});
        ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
        ASSERT_EQ(window->Model().Jobs().Count(), 1);
        window->Model().Jobs().Select(0);
    }
    void TearDown() override { window.reset(); }

    // Runs the command of a modal dialog; inside runs while it is open and closes it.
    template <typename Dialog>
    void RunModal(QAction* command, const char* name, const std::function<void(Dialog&)>& inside) {
        bool seen = false;
        QTimer::singleShot(0, window.get(), [&] {
            auto* dialog = window->findChild<Dialog*>(name);
            ASSERT_NE(dialog, nullptr);
            seen = true;
            inside(*dialog);
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        command->trigger();
        EXPECT_TRUE(seen);
    }

    // Converts the job with Start at 320x240, the picture stretched over the frame.
    std::string Convert() {
        TSettings& settings = window->Model().Settings();
        const TCatalogFile catalog(window->Model().Global().CatalogFile());
        TProfileChoices choices = TFormatProfile::CatalogDefaults(catalog, FormatCode);
        choices.VideoSize = {0, "320x240"};
        choices.VideoBitRate = {7, "4000"};
        choices.FrameRate = {4, "25"};
        choices.ZoomIndex = 0;
        TFormatProfile::Store(settings.Ini(), catalog, FormatCode, choices);
        settings.SetFormat("MPEG-4 Video (*.mp4)", FormatCode);
        window->Ui().btnStart->click();
        EXPECT_NE(window->ProgressWindow(), nullptr);
        EXPECT_TRUE(WaitUntil(
            [&] {
                return !window->BatchRun().Running() && (window->ProgressWindow() == nullptr ||
                                                         !window->ProgressWindow()->isVisible());
            },
            120000));
        if (window->BatchRun().Jobs().size() != 1u) {
            ADD_FAILURE() << "no job converted";
            return {};
        }
        const TBatchJob job = window->BatchRun().Jobs()[0];
        EXPECT_EQ(job.Outcome, TJobOutcome::Converted) << job.Error;
        return job.OutputFile;
    }
};

} // namespace

TEST_F(RotatedClipFixture, CropPlacedOnTheUprightPreviewCutsThatRegion) {
    RunModal<TfrmCrop>(window->Ui().mniCrop, "frmCrop", [](TfrmCrop& crop) {
        // Portrait: the picture fills the preview's height, not its width.
        const TCropRect p = crop.Model().Picture();
        EXPECT_EQ(p.Height, 253);
        EXPECT_NEAR(p.Width, 253 * 96 / 128, 2);
        ASSERT_TRUE(WaitUntil([&] { return crop.FramesDrawn() >= 1; }));
        const auto previewPixel = [&](int x, int y) {
            return gui_test::Child<QLabel>(crop, "imgPreview")->pixmap().toImage().pixelColor(x, y);
        };
        const int middle = p.Left + p.Width / 2;
        EXPECT_TRUE(Greenish(previewPixel(middle, p.Top + 15))) << "the band is on top";
        EXPECT_TRUE(Bluish(previewPixel(middle, p.Top + p.Height - 15)));

        // The bottom edge raised into the band: only green is left.
        auto* tracker = gui_test::Child<TRectTracker>(crop, "RectTracker");
        QWidget* preview = gui_test::Child<QLabel>(crop, "imgPreview");
        const auto local = [&](QPoint at) {
            return tracker->mapFromGlobal(preview->mapToGlobal(at));
        };
        const QPoint from(middle, p.Top + p.Height - 1);
        const QPoint to(middle, p.Top + p.Height / 5);
        QTest::mousePress(tracker, Qt::LeftButton, {}, local(from));
        for (int i = 1; i <= 6; ++i) {
            QTest::mouseMove(tracker, local(from + (to - from) * i / 6));
        }
        QTest::mouseRelease(tracker, Qt::LeftButton, {}, local(to));
        QTest::mouseClick(gui_test::Child<QPushButton>(crop, "btnOk"), Qt::LeftButton);
    });
    const TlvFilesRecord& record = window->Model().Jobs().Record(0);
    // Margins of the upright picture: most of its 128 rows go from the bottom.
    EXPECT_EQ(record.CropTop, 0);
    EXPECT_GT(record.CropBottom, 96);
    EXPECT_EQ(record.CropLeft, 0);
    EXPECT_EQ(record.CropRight, 0);

    const std::string out = Convert();
    ASSERT_FALSE(out.empty());
    for (const double y : {0.05, 0.5, 0.95}) {
        for (const double x : {0.05, 0.5, 0.95}) {
            const QColor c = OutputPixel(out, x, y);
            EXPECT_TRUE(Greenish(c)) << x << "," << y << ": " << c.name().toStdString();
        }
    }
}

TEST_F(RotatedClipFixture, WaterMarkPlacedTopLeftOnTheUprightPreviewIsTopLeftInTheOutput) {
    const std::string logo = home.File("logo.bmp");
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(qRgb(255, 0, 255));
    ASSERT_TRUE(picture.save(QString::fromStdString(logo), "BMP"));
    RunModal<TfrmWaterMark>(
        window->Ui().mniVideoEffect, "frmWaterMark", [&](TfrmWaterMark& editor) {
            ASSERT_TRUE(WaitUntil([&] { return editor.Model().Opened(); }));
            ASSERT_TRUE(WaitUntil([&] { return !editor.Ui().ImgView->Base().isNull(); }));
            const QImage base = editor.Ui().ImgView->Base();
            EXPECT_EQ(base.size(), QSize(96, 128));
            EXPECT_TRUE(Greenish(base.pixelColor(48, 10)));
            EXPECT_TRUE(Bluish(base.pixelColor(48, 120)));

            shell.fileAnswers.push_back({logo});
            editor.Ui().btnAddImage->click();
            editor.Ui().trcTextHoriz->setValue(0);
            editor.Ui().trcTextVert->setValue(0);
            editor.Ui().trcTextTran->setValue(255); // opaque
            editor.Ui().btnOk->click();
        });
    const TlvFilesRecord& record = window->Model().Jobs().Record(0);
    ASSERT_EQ(record.WaterMarks.size(), 1u);
    EXPECT_EQ(record.WaterMarks[0].ImageLeft, 0);
    EXPECT_EQ(record.WaterMarks[0].ImageTop, 0);
    EXPECT_EQ(record.WaterMarks[0].ImageOpacity, 255);

    const std::string out = Convert();
    ASSERT_FALSE(out.empty());
    // The 20x10 logo on 96x128 covers a fifth of the width and a thirteenth of the height.
    const QColor corner = OutputPixel(out, 0.04, 0.03);
    EXPECT_TRUE(Magentaish(corner)) << corner.name().toStdString();
    EXPECT_TRUE(Greenish(OutputPixel(out, 0.9, 0.03)));
    EXPECT_TRUE(Greenish(OutputPixel(out, 0.04, 0.2)));
    EXPECT_TRUE(Bluish(OutputPixel(out, 0.04, 0.9)));
    EXPECT_TRUE(Bluish(OutputPixel(out, 0.9, 0.9)));
}
