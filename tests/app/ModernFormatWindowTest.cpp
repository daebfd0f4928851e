// A format of today chosen in the real settings dialog, a quality level picked on its bit
// rate box, OK, then Start in the main window: the output holds what the format promises.
// Every one of today's formats goes that way once, a window per few formats.
#include "BatchRun.h"
#include "DeviceList.h"
#include "DeviceListBox.h"
#include "DeviceListModel.h"
#include "FormatPicker.h"
#include "GuiTestHelpers.h"
#include "RecordingShell.h"
#include "VantreApp.h"
#include "WinMain.h"
#include "WinProgress.h"
#include "WinSettings.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>
#include <span>

using C = TSettingsControl;
using testing_support::ProbeEntry;
using testing_support::TempDir;

namespace {

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

// Clicks the format's row in the dialog's list, opening the list and its group first.
void ChooseInList(TfrmSettings& dialog, int code) {
    QTest::mouseClick(dialog.Picker()->DropButton(), Qt::LeftButton);
    TDeviceListBox* list = dialog.Picker()->List();
    for (int row = 0; row < list->Model().List().RowCount(); ++row) {
        const TItemInfo info = list->Model().List().Rows()[row].Info;
        if (info.IsGroup && info.Code == code / 100 && info.Collapsed) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              QPoint(8, list->RowRect(row).center().y()));
        }
        if (info.IsFormat && info.Code == code) {
            list->scrollTo(list->model()->index(row, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->RowRect(row).center());
            return;
        }
    }
    FAIL() << "no row for " << code;
}

// A mono clip at 44.1 kHz: formats that keep the source's channels and rate show it. Short,
// as three formats enlarge it to 1080p or 720p.
std::string MonoClip() {
    return testing_support::SharedFixture(
        CLIP_FOLDER, "modern-clip.mp4", [](const std::string& path) {
            testing_support::MakeClip(path, 0.4, 128, 72, 25, 44100, "-c:v mpeg4 -c:a aac");
        });
}

// Waits for Start's batch to end and its progress window to go.
bool WaitForBatch(TfrmMain& window) {
    return gui_test::WaitUntil(
        [&] {
            return !window.BatchRun().Running() &&
                   (window.ProgressWindow() == nullptr || !window.ProgressWindow()->isVisible());
        },
        180000);
}

// What ffprobe finds in a format's output of the shared clip at the format's defaults.
struct TFormatCase {
    int Code;
    const char* Caption;
    const char* Extension;
    const char* Container;
    const char* Video; // nullptr: sound only
    const char* Size;
    const char* PixelFormat;
    const char* Profile;
    const char* Audio;
    const char* SampleRate;
    const char* Channels;
};

constexpr const char* Mp4 = "mov,mp4,m4a,3gp,3g2,mj2";
constexpr const char* Mkv = "matroska,webm";

const TFormatCase FormatCases[] = {
    {2500, "H.265/HEVC Video (*.mp4)", "mp4", Mp4, "hevc", "128x72", "yuv420p", "Main", "aac",
     "48000", "1"},
    {2501, "H.265/HEVC Video (*.mkv)", "mkv", Mkv, "hevc", "128x72", "yuv420p", "Main", "aac",
     "48000", "1"},
    {2502, "AV1 Video (*.mp4)", "mp4", Mp4, "av1", "128x72", "yuv420p", "Main", "aac", "48000",
     "1"},
    {2503, "AV1 Video (*.webm)", "webm", Mkv, "av1", "128x72", "yuv420p", "Main", "opus", "48000",
     "1"},
    {2504, "VP9 Video (*.webm)", "webm", Mkv, "vp9", "128x72", "yuv420p", "Profile 0", "opus",
     "48000", "1"},
    {2505, "H.264 High Quality Video (*.mkv)", "mkv", Mkv, "h264", "128x72", "yuv420p", "High",
     "aac", "48000", "1"},
    {2600, "Opus Audio (*.opus)", "opus", "ogg", nullptr, "", "", "", "opus", "48000", "1"},
    {2601, "FLAC Lossless Audio (*.flac)", "flac", "flac", nullptr, "", "", "", "flac", "44100",
     "1"},
    {2602, "Apple Lossless Audio (*.m4a)", "m4a", Mp4, nullptr, "", "", "", "alac", "44100", "1"},
    {2603, "AAC Audio (*.m4a)", "m4a", Mp4, nullptr, "", "", "", "aac", "44100", "1"},
    {2700, "Web Video 1080p H.264 (*.mp4)", "mp4", Mp4, "h264", "1920x1080", "yuv420p", "High",
     "aac", "48000", "1"},
    {2701, "Phone Video 1080p H.265 (*.mp4)", "mp4", Mp4, "hevc", "1920x1080", "yuv420p", "Main",
     "aac", "48000", "1"},
    {2702, "Small Video for Sharing 720p (*.mp4)", "mp4", Mp4, "h264", "1280x720", "yuv420p",
     "High", "aac", "48000", "1"},
};

// Each format in turn, in one window: chosen in the settings dialog, OK, the list cleared, the
// clip added, Start; then ffprobe reads the output.
void ConvertEachFromTheDialog(std::span<const TFormatCase> cases) {
    testing_support::RequireEncoderLibraries();
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell(shell);
    const std::string clip = MonoClip();
    TVantreApp vantre(TUserPlaces{home.Path(), ""}, "");
    TfrmMain window(vantre);
    window.show();
    TSettings& settings = window.Model().Settings();

    for (const TFormatCase& c : cases) {
        SCOPED_TRACE(c.Code);
        const std::string folder = home.File("out/" + std::to_string(c.Code));
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
        settings.SetOutputDir(folder);
        int shown = 0;
        QTimer::singleShot(0, &window, [&] {
            TfrmSettings* dialog = window.SettingsDialog();
            ASSERT_NE(dialog, nullptr);
            ++shown;
            ChooseInList(*dialog, c.Code);
            EXPECT_EQ(dialog->Picker()->FormatBox()->text().toStdString(), c.Caption);
            if (c.Video != nullptr) {
                // Today's video formats start at a quality level, not a bit rate.
                EXPECT_TRUE(dialog->Combo(C::VideoBitRate)->currentText().startsWith("Quality "))
                    << dialog->Combo(C::VideoBitRate)->currentText().toStdString();
            }
            QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
        });
        window.Ui().btnSettings->click();
        ASSERT_EQ(shown, 1);
        ASSERT_EQ(settings.FormatCode(), c.Code);

        QTest::mouseClick(window.Ui().tlbMain->widgetForAction(window.Ui().tbClear),
                          Qt::LeftButton);
        ASSERT_EQ(window.Model().Jobs().Count(), 0);
        window.AddFiles({clip});
        ASSERT_TRUE(gui_test::WaitUntil([&] { return !window.Adding(); }));
        ASSERT_EQ(window.Model().Jobs().Count(), 1);
        QTest::mouseClick(window.Ui().tlbMain->widgetForAction(window.Ui().tbStart),
                          Qt::LeftButton);
        ASSERT_TRUE(WaitForBatch(window));
        ASSERT_EQ(window.BatchRun().Jobs().size(), 1u);
        const TBatchJob& job = window.BatchRun().Jobs()[0];
        ASSERT_EQ(job.Outcome, TJobOutcome::Converted) << job.Error;
        const std::string& file = job.OutputFile;
        EXPECT_EQ(file, folder + "/modern-clip_(new)." + c.Extension);
        EXPECT_EQ(ProbeEntry(file, "", "format=format_name"), c.Container);
        if (c.Video != nullptr) {
            EXPECT_EQ(ProbeEntry(file, "v:0", "stream=codec_name"), c.Video);
            EXPECT_EQ(ProbeEntry(file, "v:0", "stream=width") + "x" +
                          ProbeEntry(file, "v:0", "stream=height"),
                      c.Size);
            EXPECT_EQ(ProbeEntry(file, "v:0", "stream=r_frame_rate"), "25/1");
            EXPECT_EQ(ProbeEntry(file, "v:0", "stream=pix_fmt"), c.PixelFormat);
            EXPECT_EQ(ProbeEntry(file, "v:0", "stream=profile"), c.Profile);
        } else {
            EXPECT_EQ(ProbeEntry(file, "v", "stream=codec_name"), "");
        }
        EXPECT_EQ(ProbeEntry(file, "a:0", "stream=codec_name"), c.Audio);
        EXPECT_EQ(ProbeEntry(file, "a:0", "stream=sample_rate"), c.SampleRate);
        EXPECT_EQ(ProbeEntry(file, "a:0", "stream=channels"), c.Channels);
    }
    EXPECT_TRUE(shell.messages.empty());
    window.SetAskOnClose(false);
}

} // namespace

TEST(ModernFormatWindow, ModernVideoFormatsChosenInTheDialogConvertOnStart) {
    ConvertEachFromTheDialog(std::span(FormatCases).first(6));
}

TEST(ModernFormatWindow, ModernAudioAndWebFormatsChosenInTheDialogConvertOnStart) {
    ConvertEachFromTheDialog(std::span(FormatCases).subspan(6));
}

TEST(ModernFormatWindow, Av1WebmWithASmallerQualityFromTheDialogConvertsOnStart) {
    testing_support::RequireEncoderLibraries();
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell(shell);
    const std::string clip = MonoClip();
    TVantreApp vantre(TUserPlaces{home.Path(), ""}, "");
    TfrmMain window(vantre);
    window.show();
    window.Model().Settings().SetOutputDir(home.File("out"));

    int shown = 0;
    QTimer::singleShot(0, &window, [&] {
        TfrmSettings* dialog = window.SettingsDialog();
        ASSERT_NE(dialog, nullptr);
        ++shown;
        ChooseInList(*dialog, 2503);
        EXPECT_EQ(dialog->Picker()->FormatBox()->text(), "AV1 Video (*.webm)");
        QComboBox* rates = dialog->Combo(C::VideoBitRate);
        EXPECT_EQ(Items(rates).mid(0, 4),
                  QStringList({"Quality high (CRF 30)", "Quality normal (CRF 38)",
                               "Quality small (CRF 46)", "1000"}));
        EXPECT_EQ(rates->currentText(), "Quality normal (CRF 38)");
        EXPECT_EQ(dialog->Combo(C::VideoEncoder)->currentText(), "av1");
        EXPECT_EQ(dialog->Combo(C::AudioEncoder)->currentText(), "opus");
        EXPECT_EQ(dialog->Combo(C::SampleRate)->currentText(), "48000");
        EXPECT_EQ(dialog->Combo(C::VideoSize)->currentText(), "as source");
        // One step down the list: "Quality small".
        rates->setFocus();
        QTest::keyClick(rates, Qt::Key_Down);
        EXPECT_EQ(rates->currentText(), "Quality small (CRF 46)");
        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    });
    window.Ui().btnSettings->click();
    ASSERT_EQ(shown, 1);
    TSettings& settings = window.Model().Settings();
    EXPECT_EQ(settings.FormatCode(), 2503);
    EXPECT_EQ(settings.Ini().ReadString("formatInfo2503", "paraVideoBitRate", ""), "Quality small");
    EXPECT_EQ(settings.Ini().ReadString("formatInfo2503", "paraVideoEncoder", ""), "libsvtav1");
    EXPECT_TRUE(shell.messages.empty());

    window.AddFiles({clip});
    ASSERT_TRUE(gui_test::WaitUntil([&] { return !window.Adding(); }));
    ASSERT_EQ(window.Model().Jobs().Count(), 1);
    QTest::mouseClick(window.Ui().tlbMain->widgetForAction(window.Ui().tbStart), Qt::LeftButton);
    ASSERT_TRUE(WaitForBatch(window));
    ASSERT_EQ(window.BatchRun().Jobs().size(), 1u);
    const TBatchJob& job = window.BatchRun().Jobs()[0];
    ASSERT_EQ(job.Outcome, TJobOutcome::Converted) << job.Error;
    EXPECT_EQ(job.OutputFile, home.File("out/modern-clip_(new).webm"));
    EXPECT_EQ(ProbeEntry(job.OutputFile, "", "format=format_name"), "matroska,webm");
    EXPECT_EQ(ProbeEntry(job.OutputFile, "v:0", "stream=codec_name"), "av1");
    EXPECT_EQ(ProbeEntry(job.OutputFile, "v:0", "stream=width"), "128");
    EXPECT_EQ(ProbeEntry(job.OutputFile, "v:0", "stream=height"), "72");
    EXPECT_EQ(ProbeEntry(job.OutputFile, "v:0", "stream=pix_fmt"), "yuv420p");
    EXPECT_EQ(ProbeEntry(job.OutputFile, "v:0", "stream=r_frame_rate"), "25/1");
    EXPECT_EQ(ProbeEntry(job.OutputFile, "a:0", "stream=codec_name"), "opus");
    EXPECT_EQ(ProbeEntry(job.OutputFile, "a:0", "stream=sample_rate"), "48000");
    // The clip's sound is mono, and the format's default channel choice keeps it so.
    EXPECT_EQ(ProbeEntry(job.OutputFile, "a:0", "stream=channels"), "1");
    window.SetAskOnClose(false);
}
