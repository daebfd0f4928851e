// The main window's preview with the real player (sound to SDL's dummy driver): buttons,
// labels, seeking by the slider, the end of playback, snapshots, volume and mute.
#include "FFPlayer.h"
#include "GuiTestHelpers.h"
#include "IniFile.h"
#include "JobListModel.h"
#include "JobListView.h"
#include "MainPreview.h"
#include "RecordingShell.h"
#include "VantreApp.h"
#include "VideoWidget.h"
#include "WinMain.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using gui_test::WaitUntil;
using testing_support::ProbeEntry;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

struct PreviewClips {
    TempDir dir;
    // Two minutes of a tiny picture, one frame a second: cheap to decode anywhere.
    std::string longClip = dir.File("long.mkv");
    PreviewClips() {
        testing_support::Ffmpeg("-f lavfi -i testsrc=duration=120:size=32x24:rate=1 -c:v mpeg4 "
                                "-g 10 " +
                                ShellQuote(longClip));
    }
};

const PreviewClips& SharedPreviewClips() {
    static const PreviewClips clips;
    return clips;
}

struct Preview : ::testing::Test {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    std::unique_ptr<TVantreApp> vantre;
    std::unique_ptr<TfrmMain> window;
    const gui_test::Clips& clips = gui_test::SharedClips();

    void SetUp() override { testing_support::RequireEncoderLibraries(); }
    void TearDown() override { window.reset(); }

    // The settings file the window will read, written before it exists.
    std::string SettingsFile() const {
        return home.File(".local/share/vantre/vantremp4videoconverter.ini");
    }
    void Create() {
        vantre = std::make_unique<TVantreApp>(TUserPlaces{home.Path(), ""}, "");
        window = std::make_unique<TfrmMain>(*vantre);
        window->show();
    }
    const TMainWindowUi& Ui() const { return window->Ui(); }
    TFFPlayer& Player() { return window->FFPlayer(); }
    const TPreviewState& State() const { return window->Preview().State(); }
    void Add(const std::vector<std::string>& paths) {
        window->AddFiles(paths);
        ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    }
    // Play, then wait until the file is open and its first picture is in the panel.
    void PlayAndWaitForPicture() {
        Ui().imgbtnPlay->click();
        ASSERT_TRUE(State().Playing());
        ASSERT_TRUE(WaitUntil([&] {
            return Ui().lblPTS->text() != "00:00:00" && Ui().pan1->CurrentPicture() != nullptr;
        }));
    }
    std::vector<bool> Buttons() const {
        return {Ui().imgbtnPlay->isEnabled(), Ui().imgbtnPAuse->isEnabled(),
                Ui().imgbtnStop->isEnabled(), Ui().imgbtnSnap->isEnabled()};
    }
};

const std::vector<bool> PlayOnly = {true, false, false, false};
const std::vector<bool> WhilePlaying = {false, true, true, true};
const std::vector<bool> WhilePaused = {true, false, true, true};

} // namespace

TEST_F(Preview, PlayPauseResumeAndStopSetTheButtonsAndLabels) {
    Create();
    Add({SharedPreviewClips().longClip});
    EXPECT_EQ(Buttons(), PlayOnly);
    const QColor grey(0x80, 0x80, 0x80);
    EXPECT_EQ(Ui().pan1->grab().toImage().pixelColor(128, 90), grey) << "an empty panel is grey";
    PlayAndWaitForPicture();
    EXPECT_EQ(Buttons(), WhilePlaying);
    EXPECT_EQ(Ui().lblPTS->text(), "0:02:00");
    EXPECT_TRUE(Ui().trcPreview->isEnabled());
    EXPECT_EQ(Ui().trcPreview->maximum(), Ui().trcPreview->width()) << "one step a pixel";
    EXPECT_TRUE(Ui().mmoLog->toPlainText().contains("duration: 120.0")) << "the open is logged";
    EXPECT_TRUE(Ui().mmoLog->toPlainText().contains("frame size: 32x24"));
    EXPECT_EQ(Player().FileName(), SharedPreviewClips().longClip);

    Ui().imgbtnPAuse->click();
    EXPECT_EQ(Buttons(), WhilePaused);
    EXPECT_TRUE(Player().Paused());
    Ui().imgbtnPlay->click();
    EXPECT_EQ(Buttons(), WhilePlaying);
    EXPECT_FALSE(Player().Paused()) << "Play resumes";
    ASSERT_TRUE(WaitUntil([&] { return Ui().lblTime->text() != "00:00:00"; }));

    Ui().imgbtnStop->click();
    EXPECT_EQ(Buttons(), PlayOnly);
    EXPECT_EQ(Ui().lblTime->text(), "00:00:00");
    EXPECT_EQ(Ui().lblPTS->text(), "00:00:00");
    EXPECT_FALSE(Ui().trcPreview->isEnabled());
    EXPECT_EQ(Ui().pan1->CurrentPicture(), nullptr) << "the panel is emptied";
    EXPECT_EQ(Ui().pan1->grab().toImage().pixelColor(128, 90), grey);
}

TEST_F(Preview, PositionLabelShowsHoursMinutesSecondsAndMilliseconds) {
    Create();
    Add({SharedPreviewClips().longClip});
    PlayAndWaitForPicture();
    Ui().imgbtnPAuse->click();
    window->Preview().PositionChanged(3'723'456'789);
    EXPECT_EQ(Ui().lblTime->text(), "01:02:03.456");
}

TEST_F(Preview, ReleasingOverTheMiddleOfTheSliderSeeksToHalfTheDuration) {
    Create();
    Add({SharedPreviewClips().longClip});
    PlayAndWaitForPicture();
    QSlider* slider = Ui().trcPreview;
    const QPoint middle(slider->width() / 2, slider->height() / 2);
    QTest::mousePress(slider, Qt::LeftButton, {}, middle);
    EXPECT_NEAR(slider->value(), slider->maximum() / 2, 1) << "the thumb jumps under the pointer";
    QTest::mouseRelease(slider, Qt::LeftButton, {}, middle);
    ASSERT_TRUE(WaitUntil([&] { return Player().Position() >= 59'000'000; }))
        << Player().Position();
    EXPECT_LT(Player().Position(), 63'000'000);
    ASSERT_TRUE(WaitUntil([&] { return Ui().lblTime->text().startsWith("00:01:0"); }))
        << Ui().lblTime->text().toStdString();

    // A release elsewhere does not seek.
    const std::int64_t before = Player().Position();
    QTest::mouseClick(Ui().lblPTS, Qt::LeftButton);
    EXPECT_GE(Player().Position(), before);
}

TEST_F(Preview, TheEndOfPlaybackLeavesPlayOnly) {
    Create();
    Add({clips.holiday});
    PlayAndWaitForPicture();
    ASSERT_TRUE(WaitUntil([&] { return State().Stopped(); }));
    EXPECT_EQ(Buttons(), PlayOnly);
    EXPECT_FALSE(Ui().trcPreview->isEnabled());
    EXPECT_EQ(Ui().trcPreview->value(), 0);
    EXPECT_EQ(Ui().lblTime->text(), "00:00:00");
    EXPECT_EQ(Ui().lblPTS->text(), "00:00:00");
    // The rewind reports its position after the end: the stopped preview keeps its zeros.
    window->Preview().PositionChanged(0);
    EXPECT_EQ(Ui().lblTime->text(), "00:00:00");
    // Play opens the file again from its start.
    PlayAndWaitForPicture();
    EXPECT_EQ(Buttons(), WhilePlaying);
}

TEST_F(Preview, SnapshotWritesOnlyTheJpegFilesAtBothSizesAndOpensTheFolder) {
    std::filesystem::create_directories(std::filesystem::path(SettingsFile()).parent_path());
    // A folder that is not there at start-up is replaced by the default one.
    const std::string folder = home.File("snaps");
    std::filesystem::create_directories(folder);
    TIniFile(SettingsFile())
        .WriteStrings("settings", {{"snapBmp", "0"}, {"snapJpg", "1"}, {"SnapOutPutDir", folder}});
    Create();
    Add({SharedPreviewClips().longClip});
    PlayAndWaitForPicture();
    Ui().imgbtnPAuse->click();
    Ui().imgbtnSnap->click();
    EXPECT_FALSE(std::filesystem::exists(folder + "/Snapshot_full.bmp"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/Snapshot_small.bmp"));
    const std::string full = folder + "/Snapshot_full.jpg";
    const std::string small = folder + "/Snapshot_small.jpg";
    ASSERT_TRUE(std::filesystem::exists(full));
    ASSERT_TRUE(std::filesystem::exists(small));
    EXPECT_EQ(ProbeEntry(full, "v:0", "stream=codec_name"), "mjpeg");
    EXPECT_EQ(ProbeEntry(full, "v:0", "stream=width"), "32");
    EXPECT_EQ(ProbeEntry(full, "v:0", "stream=height"), "24");
    EXPECT_EQ(ProbeEntry(small, "v:0", "stream=width"), "256");
    EXPECT_EQ(ProbeEntry(small, "v:0", "stream=height"), "183");
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], folder + "/");
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(Preview, StoredVolumeOutOfRangeStartsAt64AndMuteAndVolumeAreStored) {
    std::filesystem::create_directories(std::filesystem::path(SettingsFile()).parent_path());
    TIniFile(SettingsFile()).WriteStrings("settings", {{"volume", "129"}, {"mute", "1"}});
    Create();
    EXPECT_EQ(Ui().trcVolume->value(), 64);
    EXPECT_EQ(Player().AudioVolume(), 64);
    EXPECT_TRUE(Ui().ckMute->isChecked());
    EXPECT_TRUE(Player().Mute());

    Ui().ckMute->click();
    EXPECT_FALSE(Player().Mute());
    EXPECT_FALSE(window->Model().Settings().Mute());
    QSlider* volume = Ui().trcVolume;
    const QRect groove = volume->rect();
    QTest::mousePress(volume, Qt::LeftButton, {}, groove.center());
    volume->setValue(100);
    EXPECT_EQ(Player().AudioVolume(), 100) << "the player follows the slider";
    EXPECT_EQ(window->Model().Settings().Volume(), 64) << "stored on release";
    QTest::mouseRelease(volume, Qt::LeftButton, {}, groove.center());
    EXPECT_EQ(window->Model().Settings().Volume(), volume->value());

    // A click on the groove away from the handle pages the slider and is stored too.
    const int before = volume->value();
    const QPoint nearLeft(groove.left() + groove.width() / 10, groove.center().y());
    QTest::mouseClick(volume, Qt::LeftButton, {}, nearLeft);
    EXPECT_LT(volume->value(), before);
    EXPECT_EQ(window->Model().Settings().Volume(), volume->value());
}

TEST_F(Preview, PlayOnAnEmptyListRunsAddAndPlaysTheAddedFile) {
    Create();
    Ui().imgbtnPlay->click(); // the file dialog is cancelled: nothing plays later
    EXPECT_EQ(shell.dialogs, std::vector<std::string>{"Open"});
    EXPECT_FALSE(State().PlayOnAdd());
    Add({clips.beach});
    EXPECT_TRUE(State().Stopped()) << "a later Add does not play";
    Ui().tbClear->trigger();

    shell.fileAnswers.push_back({SharedPreviewClips().longClip});
    Ui().imgbtnPlay->click();
    EXPECT_EQ(shell.dialogs.size(), 2u);
    ASSERT_TRUE(WaitUntil([&] { return State().Playing(); }));
    ASSERT_TRUE(WaitUntil([&] { return Ui().pan1->CurrentPicture() != nullptr; }));
    EXPECT_EQ(Player().FileName(), SharedPreviewClips().longClip);
    EXPECT_EQ(Buttons(), WhilePlaying);
}

TEST_F(Preview, DoubleClickPlaysTheRowAndClearingTheListStops) {
    Create();
    Add({clips.beach, SharedPreviewClips().longClip});
    const QRect row = Ui().lvFiles->visualRect(Ui().lvFiles->Model().index(1, 2));
    QTest::mouseDClick(Ui().lvFiles->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_TRUE(State().Playing());
    EXPECT_EQ(Player().FileName(), SharedPreviewClips().longClip);
    Ui().tbRemove->trigger();
    EXPECT_TRUE(State().Playing()) << "rows remain: the preview goes on";
    Ui().tbClear->trigger();
    EXPECT_TRUE(State().Stopped());
    EXPECT_EQ(Buttons(), PlayOnly);
}
