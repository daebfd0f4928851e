// The conversion settings dialog on its real widgets: filling, typing, leaving boxes, the
// format list, Default, Cancel and OK, and its place in the main window.
#include "DeviceList.h"
#include "DeviceListBox.h"
#include "DeviceListModel.h"
#include "FormatPicker.h"
#include "GuiTestHelpers.h"
#include "IniFile.h"
#include "RecordingShell.h"
#include "VantreApp.h"
#include "WinMain.h"
#include "WinSettings.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using C = TSettingsControl;
using gui_test::Child;
using testing_support::TempDir;

namespace {

// Code 0 has every list quirk, 1 is audio only.
constexpr const char* Catalog = R"([formatInfo0]
VideoSize=320x240,640x480,
iVideoSize=1
VideoBitRate=256,,768
iVideoBitRate=2
FrameRate=25,29.97
iFrameRate=1
VideoEncoder=mpeg-4,H264
AudioEncoder=aac,mp3
AudioBitRate=64,96.5,128
iAudioBitRate=2
SampleRate=22050,44100
iSampleRate=1
Channel=as source,mono 1 channel,stereo 2 channels
iChannel=2
Volume=50%,100%
iVolume=1

[formatInfo1]
VideoSize=null
VideoBitRate=null
FrameRate=null
VideoEncoder=null
AudioEncoder=mp3
AudioBitRate=
SampleRate=22050,44100
Channel=mono 1 channel,stereo 2 channels
Volume=

[formatInfo205]
VideoSize=1280x720,as source
VideoBitRate=2000,3000
FrameRate=25
VideoEncoder=h264
AudioEncoder=aac
AudioBitRate=128
SampleRate=48000
Channel=stereo 2 channels
Volume=100%
)";

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

struct SettingsWindow : ::testing::Test {
    TempDir dir;
    std::string settingsFile = dir.File("settings.ini");
    std::string catalogFile = dir.File("catalog.ini");
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    std::unique_ptr<TfrmSettings> dialog;

    void SetUp() override {
        std::ofstream(catalogFile) << Catalog;
        TIniFile(settingsFile).WriteString("settings", "FormatCode", "0");
        dialog = std::make_unique<TfrmSettings>(settingsFile, catalogFile);
    }

    QComboBox* Box(C control) const { return dialog->Combo(control); }
    std::string Stored(const std::string& section, const std::string& key) const {
        return TIniFile(settingsFile).ReadString(section, key, "<none>");
    }
    void Open() {
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }
    // Types into a box as a person would, then leaves it with Tab.
    void TypeAndLeave(C control, const QString& text) {
        Box(control)->setFocus();
        Box(control)->lineEdit()->selectAll();
        QTest::keyClick(Box(control), Qt::Key_Backspace);
        QTest::keyClicks(Box(control), text);
        QTest::keyClick(Box(control), Qt::Key_Tab);
    }
    // The list row of a format entry, expanding its group with a click on its sign.
    int RowOf(int code) {
        TDeviceListBox* list = dialog->Picker()->List();
        const TDeviceList& rows = list->Model().List();
        for (int row = 0; row < rows.RowCount(); ++row) {
            const TItemInfo info = rows.Rows()[row].Info; // a click below adds rows
            if (info.IsGroup && info.Code == code / 100 && info.Collapsed) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  QPoint(8, list->RowRect(row).center().y()));
            }
            if (info.IsFormat && info.Code == code) {
                return row;
            }
        }
        return -1;
    }
};

} // namespace

TEST_F(SettingsWindow, ShowsItsCaptionsAndTheListsOfTheStoredFormat) {
    Open();
    EXPECT_EQ(dialog->windowTitle(), "Settings");
    EXPECT_GE(dialog->width(), 475);
    EXPECT_GE(dialog->height(), 370);
    EXPECT_EQ(Child<QGroupBox>(*dialog, "grpbxVideo")->title(), "Video Options");
    EXPECT_EQ(Child<QGroupBox>(*dialog, "grpbxAudio")->title(), "Audio Options");
    const std::pair<const char*, const char*> labels[] = {
        {"lblVideoSize", "Frame Size:"},
        {"lblVideoBitRate", "BitRate (Kbps):"},
        {"lblFrameRate", "FrameRate (Fps):"},
        {"lblVideoEncoder", "Encoder:"},
        {"lblZoom", "Zoom:"},
        {"lblSamplerate", "SampleRate (Hz):"},
        {"lblAudioBitRate", "BitRate (Kbps):"},
        {"lblAudioEncoder", "Encoder:"},
        {"lblChannel", "Channel:"},
        {"lblVolume", "Volume:"},
    };
    for (const auto& [name, text] : labels) {
        const QLabel* label = Child<QLabel>(*dialog, name);
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), text);
        EXPECT_TRUE(label->buddy()->objectName().startsWith("cmb")) << name;
    }
    for (const C control : TSettingsDialogModel::Controls) {
        const char* name = TSettingsDialogModel::ControlName(control);
        ASSERT_EQ(Child<QComboBox>(*dialog, name), Box(control)) << name;
        EXPECT_EQ(Box(control)->isEditable(), TSettingsDialogModel::IsEditable(control)) << name;
        EXPECT_TRUE(Box(control)->isEnabled()) << name;
        EXPECT_EQ(Box(control)->maxVisibleItems(), std::max(1, Box(control)->count())) << name;
    }
    EXPECT_EQ(dialog->OkButton()->text(), "OK");
    EXPECT_EQ(dialog->CancelButton()->text(), "Cancel");
    EXPECT_EQ(dialog->DefaultButton()->objectName(), "btnDefault");
    EXPECT_EQ(dialog->Picker()->FormatBox()->text(), "iPod Video MPEG-4 (*.mp4)");
    EXPECT_TRUE(dialog->Picker()->FormatBox()->isReadOnly());

    // A trailing "," gives an empty last item, ",," an empty one in between.
    EXPECT_EQ(Items(Box(C::VideoSize)), QStringList({"320x240", "640x480", ""}));
    EXPECT_EQ(Items(Box(C::VideoBitRate)), QStringList({"256", "", "768"}));
    EXPECT_EQ(Items(Box(C::Zoom)), QStringList({"Full screen", "Letterbox", "Pan and Scan"}));
    EXPECT_EQ(Box(C::VideoSize)->currentText(), "640x480");
    EXPECT_EQ(Box(C::FrameRate)->currentText(), "29.97");
    EXPECT_EQ(Box(C::Zoom)->currentIndex(), 0);
}

TEST_F(SettingsWindow, AnAudioFormatDisablesTheVideoBoxesAndAnEmptyBitRateList) {
    TIniFile(settingsFile).WriteString("settings", "FormatCode", "1");
    Open();
    for (const C control :
         {C::VideoSize, C::VideoBitRate, C::FrameRate, C::VideoEncoder, C::Zoom}) {
        EXPECT_FALSE(Box(control)->isEnabled()) << TSettingsDialogModel::ControlName(control);
    }
    EXPECT_FALSE(Box(C::AudioBitRate)->isEnabled());
    EXPECT_FALSE(Box(C::Volume)->isEnabled());
    EXPECT_TRUE(Box(C::SampleRate)->isEnabled());
    EXPECT_TRUE(Box(C::AudioEncoder)->isEnabled());
    EXPECT_EQ(Box(C::VideoSize)->count(), 0);
}

TEST_F(SettingsWindow, KeysAreFilteredOnTheRealBoxes) {
    Open();
    Box(C::AudioBitRate)->setFocus();
    Box(C::AudioBitRate)->lineEdit()->clear();
    QTest::keyClicks(Box(C::AudioBitRate), "96.5");
    EXPECT_EQ(Box(C::AudioBitRate)->currentText(), "965") << "the \".\" is refused";
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "Please enter numerical.");
    EXPECT_EQ(shell.beeps, 1);
    QTest::keyClick(Box(C::AudioBitRate), Qt::Key_Backspace);
    EXPECT_EQ(Box(C::AudioBitRate)->currentText(), "96");
    EXPECT_EQ(dialog->Model().Combo(C::AudioBitRate).Text, "96");
    EXPECT_EQ(dialog->Model().Combo(C::AudioBitRate).ItemIndex, -1);

    Box(C::VideoSize)->setFocus();
    Box(C::VideoSize)->lineEdit()->clear();
    QTest::keyClicks(Box(C::VideoSize), "720xX480x");
    EXPECT_EQ(Box(C::VideoSize)->currentText(), "720x480");
    EXPECT_EQ(shell.beeps, 3) << "an upper-case X and a second x beep";
    EXPECT_EQ(shell.messages.size(), 1u) << "without a message";
    EXPECT_EQ(Items(Box(C::VideoSize)).size(), 3) << "typing adds no item";
}

TEST_F(SettingsWindow, LeavingABoxChecksItAndShowsTheCorrection) {
    Open();
    TypeAndLeave(C::VideoSize, "641x481");
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text,
              "Frame Size must be a multiple of 2.\nThe correct value:640x480");
    EXPECT_EQ(shell.messages[0].caption, "Input Error!");
    EXPECT_EQ(Box(C::VideoSize)->currentText(), "640x480");
    EXPECT_TRUE(Box(C::VideoBitRate)->hasFocus()) << "Tab moved on";

    TypeAndLeave(C::VideoSize, "640");
    ASSERT_EQ(shell.messages.size(), 2u);
    EXPECT_EQ(shell.messages[1].text, "Frame Size is not a valid value!");
    EXPECT_EQ(Box(C::VideoSize)->currentIndex(), 1) << "the second item";
    EXPECT_EQ(Box(C::VideoSize)->currentText(), "640x480");

    // Only a first key is free in the frame size box: "as source" comes in by pasting.
    TypeAndLeave(C::VideoSize, "as");
    ASSERT_EQ(shell.messages.size(), 3u);
    EXPECT_EQ(shell.messages[2].text, "Frame Size is not a valid value!");
    EXPECT_EQ(shell.beeps, 1);
    Box(C::VideoSize)->setFocus();
    Box(C::VideoSize)->setEditText("As Source");
    QTest::keyClick(Box(C::VideoSize), Qt::Key_Tab);
    TypeAndLeave(C::VideoBitRate, "1200");
    EXPECT_EQ(shell.messages.size(), 3u) << "valid values pass";
    EXPECT_EQ(dialog->Model().Combo(C::VideoSize).Text, "As Source");
    // The bit rate box takes "as source" only as written so.
    Box(C::VideoBitRate)->setFocus();
    Box(C::VideoBitRate)->setEditText("As Source");
    QTest::keyClick(Box(C::VideoBitRate), Qt::Key_Tab);
    ASSERT_EQ(shell.messages.size(), 4u);
    EXPECT_EQ(shell.messages[3].text, "Video BitRate is not a valid value!");
    EXPECT_EQ(Box(C::VideoBitRate)->currentIndex(), 1);

    // 96.5 cannot be typed, but picked from the list it passes.
    Box(C::AudioBitRate)->setFocus();
    QTest::keyClick(Box(C::AudioBitRate), Qt::Key_Up);
    EXPECT_EQ(Box(C::AudioBitRate)->currentText(), "96.5");
    EXPECT_EQ(dialog->Model().Combo(C::AudioBitRate).ItemIndex, 1);
    QTest::keyClick(Box(C::AudioBitRate), Qt::Key_Tab);
    EXPECT_EQ(shell.messages.size(), 4u);
}

TEST_F(SettingsWindow, TypedValuesAreStoredAsTypedAndShownAtTheNextOpening) {
    Open();
    TypeAndLeave(C::VideoSize, "352x288");
    Box(C::Channel)->setFocus();
    QTest::keyClick(Box(C::Channel), Qt::Key_Up); // "mono 1 channel"
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Stored("formatInfo0", "iVideoSize"), "-1");
    EXPECT_EQ(Stored("formatInfo0", "paraVideoSize"), "352x288");
    EXPECT_EQ(Stored("formatInfo0", "iChannel"), "1");
    EXPECT_EQ(Stored("formatInfo0", "paraChannel"), "1");
    EXPECT_EQ(Stored("formatInfo0", "paraVideoEncoder"), "mpeg4");
    EXPECT_EQ(Stored("formatInfo0", "paraVolume"), "256");
    EXPECT_EQ(Stored("settings", "FormatCode"), "0");

    Open();
    EXPECT_EQ(Box(C::VideoSize)->currentText(), "352x288");
    EXPECT_EQ(Box(C::VideoSize)->currentIndex(), -1);
    EXPECT_EQ(Box(C::Channel)->currentText(), "mono 1 channel");
}

TEST_F(SettingsWindow, CancelAndDefaultWriteNothing) {
    Open();
    TypeAndLeave(C::VideoSize, "100x100");
    Box(C::Zoom)->setFocus();
    QTest::keyClick(Box(C::Zoom), Qt::Key_Down);
    EXPECT_EQ(dialog->Model().Combo(C::Zoom).ItemIndex, 1);
    QTest::mouseClick(dialog->DefaultButton(), Qt::LeftButton);
    EXPECT_EQ(Box(C::VideoSize)->currentText(), "640x480");
    EXPECT_EQ(Box(C::VideoBitRate)->currentText(), "768");
    EXPECT_EQ(Box(C::Zoom)->currentText(), "Full screen");
    EXPECT_FALSE(std::filesystem::exists(dir.File("settings.ini.tmp")));
    EXPECT_EQ(Stored("formatInfo0", "Description"), "<none>");

    TypeAndLeave(C::VideoSize, "100x100");
    QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(Stored("formatInfo0", "Description"), "<none>");
    Open();
    EXPECT_EQ(Box(C::VideoSize)->currentText(), "640x480") << "nothing of the cancelled edit";
}

TEST_F(SettingsWindow, ChoosingAFormatInTheListReloadsTheBoxesUntilOk) {
    TIniFile(settingsFile)
        .WriteStrings("formatInfo205", {{"iVideoSize", "-1"}, {"paraVideoSize", "960x540"}});
    Open();
    TFormatPicker* picker = dialog->Picker();
    TDeviceListBox* list = picker->List();
    QTest::mouseClick(picker->DropButton(), Qt::LeftButton);
    ASSERT_TRUE(list->isVisible());
    const QWidget* box = picker->FormatBox();
    EXPECT_EQ(list->geometry().top(), box->mapTo(dialog.get(), QPoint(0, box->height())).y() - 1)
        << "just below the format box";
    EXPECT_EQ(list->height(), 247) << "25 group rows";
    QTest::mouseClick(picker->DropButton(), Qt::LeftButton);
    ASSERT_FALSE(list->isVisible()) << "the arrow toggles";
    ASSERT_GT(RowOf(0), 0);
    QTest::mouseClick(picker->DropButton(), Qt::LeftButton);
    EXPECT_EQ(list->SelectedRow(), RowOf(0)) << "opens on the dialog's format";
    const int row = RowOf(205);
    ASSERT_GT(row, 0);
    EXPECT_EQ(list->height(), 247) << "resized after the click, still over 247";
    list->scrollTo(list->model()->index(row, 0));
    QTest::mouseMove(list->viewport(), QPoint(80, list->RowRect(row).center().y()));
    EXPECT_EQ(list->SelectedRow(), row) << "the row under the pointer is highlighted";
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(80, list->RowRect(row).center().y()));
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(box->property("text").toString(), "Apple H.264 720p (1280 x 720) (*.mp4)");
    EXPECT_EQ(dialog->Model().FormatCode(), 205);
    EXPECT_EQ(Items(Box(C::VideoSize)), QStringList({"1280x720", "as source"}));
    // A typed value of the chosen format is shown again, as at opening.
    EXPECT_EQ(Box(C::VideoSize)->currentText(), "960x540");
    EXPECT_EQ(Stored("settings", "FormatCode"), "0") << "nothing stored before OK";

    // A press elsewhere closes the open list.
    QTest::mouseClick(picker->FormatBox(), Qt::LeftButton);
    ASSERT_TRUE(list->isVisible());
    QTest::mouseClick(Child<QGroupBox>(*dialog, "grpbxAudio"), Qt::LeftButton);
    EXPECT_FALSE(list->isVisible());

    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    EXPECT_EQ(Stored("settings", "FormatCode"), "205");
    EXPECT_EQ(Stored("settings", "FormatName"), "Apple H.264 720p (1280 x 720) (*.mp4)");
    EXPECT_EQ(Stored("formatInfo205", "paraVideoEncoder"), "libx264");
    EXPECT_EQ(Stored("lstformat", "2"), "0") << "the dialog's open group is stored";
}

// The main window stores its groups before the dialog and rebuilds its list after OK.
TEST(SettingsFromTheMainWindow, OkChangesTheMainWindowsFormat) {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell(shell);
    TVantreApp vantre(TUserPlaces{home.Path(), ""}, "");
    TfrmMain window(vantre);
    window.show();
    TDeviceListBox* mainList = window.Ui().picker->List();
    ASSERT_TRUE(mainList->Toggle(23)); // "General Video formates", expanded in the main list

    int dialogRows = 0;
    int shown = 0;
    const auto drive = [&] {
        TfrmSettings* dialog = window.SettingsDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(dialog->isVisible());
        ++shown;
        dialogRows = dialog->Picker()->List()->model()->rowCount();
        const TDeviceList& rows = dialog->Picker()->List()->Model().List();
        for (int row = 0; row < rows.RowCount(); ++row) {
            if (rows.Rows()[row].Info.Code == 2302 && rows.Rows()[row].Info.IsFormat) {
                QTest::mouseClick(dialog->Picker()->DropButton(), Qt::LeftButton);
                QTest::mouseClick(dialog->Picker()->List()->viewport(), Qt::LeftButton, {},
                                  dialog->Picker()->List()->RowRect(row).center());
            }
        }
        dialog->Combo(C::VideoSize)->setEditText("480x360");
        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    };
    QTimer::singleShot(0, &window, drive);
    window.Ui().btnSettings->click();
    ASSERT_EQ(shown, 1);
    EXPECT_EQ(dialogRows, 38) << "the main list's open group is open in the dialog";
    EXPECT_EQ(window.Ui().picker->FormatBox()->text(), "MPEG-4 Video (*.mp4)");
    EXPECT_EQ(window.Model().Table().CurrentCode(), "2302");
    TSettings& settings = window.Model().Settings();
    EXPECT_EQ(settings.FormatCode(), 2302);
    EXPECT_EQ(settings.Ini().ReadString("formatInfo2302", "paraVideoSize", ""), "480x360");
    EXPECT_EQ(settings.Ini().ReadString("formatInfo2302", "iVideoSize", ""), "-1");
    EXPECT_TRUE(shell.messages.empty());

    // The dialog is kept and opens again.
    TfrmSettings* first = window.SettingsDialog();
    QTimer::singleShot(0, &window, [&] {
        ++shown;
        EXPECT_EQ(window.SettingsDialog()->Combo(C::VideoSize)->currentText(), "480x360");
        window.SettingsDialog()->CancelButton()->click();
    });
    window.Ui().tbSettings->trigger();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(window.SettingsDialog(), first);
    window.SetAskOnClose(false);
}
