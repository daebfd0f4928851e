// A format of today chosen in the real settings dialog, a quality level picked on its bit
// rate box, OK, then Start in the main window: the output holds what the format promises.
#include "BatchRun.h"
#include "DeviceList.h"
#include "DeviceListBox.h"
#include "DeviceListModel.h"
#include "FormatPicker.h"
#include "GuiTestHelpers.h"
#include "RecordingShell.h"
#include "WinMain.h"
#include "WinProgress.h"
#include "WinSettings.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

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

} // namespace

TEST(ModernFormatWindow, Av1WebmWithASmallerQualityFromTheDialogConvertsOnStart) {
    testing_support::RequireEncoderLibraries();
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell(shell);
    const std::string clip = testing_support::SharedFixture(
        CLIP_FOLDER, "modern-window.mp4", [](const std::string& path) {
            testing_support::MakeClip(path, 1, 128, 72, 25, 44100, "-c:v mpeg4 -c:a aac");
        });
    TfrmMain window(TUserPlaces{home.Path(), ""}, "");
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
    ASSERT_TRUE(gui_test::WaitUntil(
        [&] {
            return !window.BatchRun().Running() &&
                   (window.ProgressWindow() == nullptr || !window.ProgressWindow()->isVisible());
        },
        120000));
    ASSERT_EQ(window.BatchRun().Jobs().size(), 1u);
    const TBatchJob& job = window.BatchRun().Jobs()[0];
    ASSERT_EQ(job.Outcome, TJobOutcome::Converted) << job.Error;
    EXPECT_EQ(job.OutputFile, home.File("out/modern-window_(new).webm"));
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
