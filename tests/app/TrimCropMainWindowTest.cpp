// The trim and crop dialogs reached through the main window's commands, and a job edited in
// both converted: the output is the marked part of the source with the crop applied.
#include "VantreApp.h"
#include "WinMain.h"

#include "BatchRun.h"
#include "CatalogFile.h"
#include "FormatProfile.h"
#include "GuiTestHelpers.h"
#include "MainPreview.h"
#include "RecordingShell.h"
#include "RectTracker.h"
#include "Settings.h"
#include "TrimCropTestHelpers.h"
#include "WinCrop.h"
#include "WinProgress.h"
#include "WinTrim.h"

#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using gui_test::WaitUntil;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

constexpr std::int64_t Second = 1000000;
constexpr int FormatCode = 2302; // MPEG-4 video in MP4
constexpr int OutWidth = 320;
constexpr int OutHeight = 240;

struct MainWindowEditFixture : ::testing::Test {
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
    }
    void TearDown() override { window.reset(); }

    void Add(const std::string& path) {
        window->AddFiles({path});
        ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
        ASSERT_GE(window->Model().Jobs().Count(), 1);
    }
    // Runs a command whose dialog is modal; inside runs while the dialog is open and must
    // close it.
    template <typename Dialog>
    Dialog* RunModal(QAction* command, const char* name,
                     const std::function<void(Dialog&)>& inside) {
        Dialog* seen = nullptr;
        QTimer::singleShot(0, window.get(), [&] {
            seen = window->findChild<Dialog*>(name);
            ASSERT_NE(seen, nullptr);
            EXPECT_TRUE(seen->isVisible());
            EXPECT_TRUE(seen->isModal());
            inside(*seen);
            if (seen->isVisible()) {
                seen->reject();
            }
        });
        command->trigger();
        return seen;
    }
};

void Click(QWidget& dialog, const char* name) {
    QTest::mouseClick(gui_test::Child<QAbstractButton>(dialog, name), Qt::LeftButton);
}

// Pauses the trim dialog's player at t and presses the mark button.
void MarkAt(TfrmTrim& trim, const char* button, std::int64_t t) {
    if (!trim.Player().Paused()) {
        Click(trim, "imgbtnPause");
    }
    ASSERT_TRUE(trimcrop_test::PlayerAt(trim.Player(), t))
        << "at " << trim.Player().Position() << " instead of " << t;
    Click(trim, button);
}

// Drags one point of the crop preview to another with the left button.
void DragInPreview(TfrmCrop& crop, QPoint from, QPoint to) {
    auto* tracker = gui_test::Child<TRectTracker>(crop, "RectTracker");
    QWidget* preview = gui_test::Child<QLabel>(crop, "imgPreview");
    const auto local = [&](QPoint p) { return tracker->mapFromGlobal(preview->mapToGlobal(p)); };
    QTest::mousePress(tracker, Qt::LeftButton, {}, local(from));
    for (int i = 1; i <= 6; ++i) {
        QTest::mouseMove(tracker, local(from + (to - from) * i / 6));
    }
    QTest::mouseRelease(tracker, Qt::LeftButton, {}, local(to));
}

std::vector<std::uint8_t> DecodeOneFrame(const std::string& arguments, const std::string& raw) {
    testing_support::Ffmpeg(arguments + " -frames:v 1 -f rawvideo -pix_fmt bgr24 " +
                            ShellQuote(raw));
    std::ifstream in(raw, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double MeanDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    const size_t n = std::min(a.size(), b.size());
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += std::abs(a[i] - b[i]);
    }
    return n > 0 ? sum / static_cast<double>(n) : 255;
}

} // namespace

TEST_F(MainWindowEditFixture, TrimAndCropAreMadeOnceAndStartOverAtEveryOpening) {
    Add(trimcrop_test::SharedClips().wide);
    const TMainWindowUi& ui = window->Ui();
    ui.mnuEdit->popup(window->mapToGlobal(QPoint(40, 24)));
    EXPECT_TRUE(ui.mniTrim->isEnabled());
    EXPECT_TRUE(ui.mniCrop->isEnabled());
    ui.mnuEdit->hide();

    // The dialogs play the file themselves: the preview stops first.
    ui.imgbtnPlay->click();
    ASSERT_TRUE(window->Preview().State().Playing());
    TfrmTrim* first = RunModal<TfrmTrim>(ui.mniTrim, "frmTrim", [this](TfrmTrim& trim) {
        EXPECT_TRUE(window->Preview().State().Stopped());
        EXPECT_EQ(trim.Row(), 0);
        EXPECT_TRUE(trim.Model().Opened());
        Click(trim, "btnCancel");
    });
    TfrmTrim* second =
        RunModal<TfrmTrim>(ui.mniTrim, "frmTrim", [](TfrmTrim& trim) { Click(trim, "btnOk"); });
    EXPECT_EQ(first, second);
    EXPECT_EQ(window->Model().Jobs().Record(0).TrimLength, 0);

    ui.imgbtnPlay->click();
    ASSERT_TRUE(window->Preview().State().Playing());
    QPointer<TfrmCrop> crop = RunModal<TfrmCrop>(ui.mniCrop, "frmCrop", [this](TfrmCrop& dialog) {
        EXPECT_TRUE(window->Preview().State().Stopped());
        EXPECT_TRUE(dialog.Model().HasPicture());
        Click(dialog, "btnCancel");
    });
    ASSERT_FALSE(crop.isNull());
    TfrmCrop* again = RunModal<TfrmCrop>(ui.pmiCrop, "frmCrop", [](TfrmCrop& dialog) {
        EXPECT_TRUE(dialog.Model().HasPicture()) << "the file opened again";
        EXPECT_FALSE(dialog.Stopped());
        Click(dialog, "btnOk");
    });
    ASSERT_FALSE(crop.isNull()) << "the same dialog serves again";
    EXPECT_EQ(again, crop.data());
    EXPECT_EQ(window->findChildren<TfrmCrop*>().size(), 1);
}

TEST_F(MainWindowEditFixture, AJobTrimmedAndCroppedInTheDialogsConvertsSo) {
    // 24 s, 160x120, 5 fps, every picture a key picture. No sound: the player loses seeks
    // made while paused now and then when a sound stream plays under load.
    const std::string source = home.File("walk.avi");
    testing_support::MakeClip(source, 24, 160, 120, 5, 0, "-c:v mpeg4 -g 1 -q:v 2");
    Add(source);
    TJobList& jobs = window->Model().Jobs();
    const TMainWindowUi& ui = window->Ui();

    RunModal<TfrmTrim>(ui.mniTrim, "frmTrim", [](TfrmTrim& trim) {
        MarkAt(trim, "btnSetStart", 10 * Second);
        MarkAt(trim, "btnSetEnd", 20 * Second);
        Click(trim, "btnOk");
    });
    EXPECT_EQ(jobs.Record(0).TrimStart, 10 * Second);
    EXPECT_EQ(jobs.Record(0).TrimLength, 10 * Second);
    EXPECT_EQ(jobs.Cell(0, TJobColumn::TrimmedLength), "10");

    RunModal<TfrmCrop>(ui.mniCrop, "frmCrop", [](TfrmCrop& crop) {
        // 160x120 fills the preview's height: P = {16, 0, 338, 253}.
        const TCropRect p = crop.Model().Picture();
        ASSERT_EQ(p, (TCropRect{16, 0, 338, 253}));
        DragInPreview(crop, {p.Left + 1, 120}, {p.Left + 1 + p.Width / 4, 120});
        DragInPreview(crop, {185, 1}, {185, 41});
        Click(crop, "btnOk");
    });
    const TlvFilesRecord& record = jobs.Record(0);
    EXPECT_EQ(record.CropLeftView, 84);
    EXPECT_EQ(record.CropUpView, 40);
    EXPECT_EQ(record.CropLeft, 40); // 84 x 160 / 338 = 39.8
    EXPECT_EQ(record.CropTop, 18);  // 40 x 120 / 253 = 19.0, made even
    EXPECT_EQ(record.CropRight, 0);
    EXPECT_EQ(record.CropBottom, 0);

    // The format: 320x240 at 25 fps, whole picture stretched; converted by Start.
    TSettings& settings = window->Model().Settings();
    const TCatalogFile catalog(window->Model().Global().CatalogFile());
    TProfileChoices choices = TFormatProfile::CatalogDefaults(catalog, FormatCode);
    choices.VideoSize = {0, "320x240"};
    choices.VideoBitRate = {7, "4000"};
    choices.FrameRate = {4, "25"};
    choices.ZoomIndex = 0;
    TFormatProfile::Store(settings.Ini(), catalog, FormatCode, choices);
    settings.SetFormat("MPEG-4 Video (*.mp4)", FormatCode);
    ui.btnStart->click();
    ASSERT_NE(window->ProgressWindow(), nullptr);
    ASSERT_TRUE(WaitUntil(
        [&] { return !window->BatchRun().Running() && !window->ProgressWindow()->isVisible(); },
        120000));
    ASSERT_EQ(window->BatchRun().Jobs().size(), 1u);
    const TBatchJob job = window->BatchRun().Jobs()[0];
    ASSERT_EQ(job.Outcome, TJobOutcome::Converted) << job.Error;
    const std::string output = job.OutputFile;

    EXPECT_NEAR(testing_support::ProbeDuration(output), 10.0, 0.2);
    EXPECT_EQ(testing_support::ProbeEntry(output, "v:0", "stream=width"), "320");
    EXPECT_EQ(testing_support::ProbeEntry(output, "v:0", "stream=height"), "240");
    // The output at 5.1 s is the source at 15.1 s, cropped and scaled by the ffmpeg tool.
    const auto converted = DecodeOneFrame("-ss 5.1 -i " + ShellQuote(output), home.File("o.raw"));
    const std::string scale =
        ",scale=" + std::to_string(OutWidth) + ":" + std::to_string(OutHeight);
    const auto expected = DecodeOneFrame("-ss 15.1 -i " + ShellQuote(source) +
                                             " -vf crop=x=40:y=18:w=120:h=102" + scale,
                                         home.File("e.raw"));
    const auto uncropped = DecodeOneFrame(
        "-ss 15.1 -i " + ShellQuote(source) + " -vf " + scale.substr(1), home.File("u.raw"));
    ASSERT_EQ(converted.size(), static_cast<size_t>(OutWidth * OutHeight * 3));
    const double cropped = MeanDifference(converted, expected);
    EXPECT_LT(cropped, 6.0);
    EXPECT_GT(MeanDifference(converted, uncropped), 4 * cropped);
}
