// The main window as a new user meets it: the Add dialog's typed names, destination names
// that follow the chosen format, a window that grows and comes back where it was left, and
// path cells that keep the file name readable.
#include "BatchRun.h"
#include "DeviceListBox.h"
#include "DeviceListModel.h"
#include "FormatPicker.h"
#include "GuiTestHelpers.h"
#include "JobListDelegate.h"
#include "JobListModel.h"
#include "JobListView.h"
#include "MediaFiles.h"
#include "QtShellServices.h"
#include "RecordingShell.h"
#include "VantreApp.h"
#include "VideoWidget.h"
#include "WinMain.h"
#include "WinProgress.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

#include <filesystem>

using gui_test::WaitUntil;
using testing_support::TempDir;

namespace {

struct LayoutFixture : ::testing::Test {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    std::unique_ptr<TVantreApp> vantre;
    std::unique_ptr<TfrmMain> window;
    const gui_test::Clips& clips = gui_test::SharedClips();

    void SetUp() override { testing_support::RequireEncoderLibraries(); }
    void TearDown() override { Close(); }

    void Open() {
        window.reset();
        vantre = std::make_unique<TVantreApp>(TUserPlaces{home.Path(), ""}, "");
        window = std::make_unique<TfrmMain>(*vantre);
        window->SetAskOnClose(false);
        window->show();
        ASSERT_TRUE(WaitUntil([&] { return window->isVisible(); }));
    }
    void Close() {
        if (window) {
            window->close();
            window.reset();
            vantre.reset();
        }
    }
    void Add(const std::vector<std::string>& paths) {
        window->AddFiles(paths);
        ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    }
    TJobListView& List() { return *window->Ui().lvFiles; }
    QString Cell(int row, int column) {
        return List().Model().index(row, column).data().toString();
    }
    // The text the cell shows as drawn at the view's current size.
    QString Shown(int row, int column) {
        const QModelIndex index = List().Model().index(row, column);
        return TJobListDelegate::ShownText(index, List().visualRect(index), List().font());
    }
};

} // namespace

TEST_F(LayoutFixture, TwoQuotedNamesTypedInTheAddDialogAddTwoRows) {
    Open();
    const std::string video = clips.CopyAs(clips.beach, home.File("clipA.mp4"));
    testing_support::Ffmpeg("-f lavfi -i sine=duration=1 -c:a libmp3lame " +
                            testing_support::ShellQuote(home.File("clipB.mp3")));
    // The Add dialog as the shell makes it: its first filter hides the sound file, so the
    // dialog itself would hand back the video alone.
    QFileDialog dialog(nullptr, "Open", QString::fromStdString(home.Path()));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(TQtShellServices::NameFilters(mediafiles::AddDialogFilter));
    auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText("\"clipA.mp4\" \"clipB.mp3\" \"missing.avi\"");
    const QStringList typed = TQtShellServices::TypedFiles(dialog);
    ASSERT_EQ(typed, QStringList({QString::fromStdString(video),
                                  QString::fromStdString(home.File("clipB.mp3"))}))
        << "existing files only";
    std::vector<std::string> paths;
    for (const QString& path : typed) {
        paths.push_back(path.toStdString());
    }
    Add(paths);
    ASSERT_EQ(window->Model().Jobs().Count(), 2);
    EXPECT_EQ(window->Model().Jobs().Caption(0), video);
    EXPECT_EQ(window->Model().Jobs().Caption(1), home.File("clipB.mp3"));
}

TEST_F(LayoutFixture, ChoosingAnotherFormatRenamesEveryRowAsTheConversionWrites) {
    Open();
    window->Model().Settings().SetFormat("MPEG-4 Video (*.mp4)", 2302);
    Add({clips.holiday, clips.beach});
    ASSERT_EQ(window->Model().Jobs().Count(), 2);
    EXPECT_EQ(Cell(0, 3), "holiday_(new).mp4");
    EXPECT_EQ(Cell(1, 3), "beach walk_(new).mp4");

    // MPEG-1 Video from the device list, as a user picks it.
    TFormatPicker* picker = window->Ui().picker;
    picker->ShowList();
    TDeviceListBox* list = picker->List();
    int chosen = -1;
    for (int row = 0; row < list->Model().List().RowCount() && chosen < 0; ++row) {
        const TItemInfo info = list->Model().List().Rows()[row].Info;
        if (info.IsGroup && info.Code == 23 && info.Collapsed) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              QPoint(8, list->RowRect(row).center().y()));
        }
        if (info.IsFormat && info.Code == 2300) {
            chosen = row;
        }
    }
    ASSERT_GT(chosen, 0);
    list->scrollTo(list->model()->index(chosen, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(80, list->RowRect(chosen).center().y()));
    ASSERT_EQ(window->Model().Settings().FormatCode(), 2300);
    EXPECT_EQ(Cell(0, 3), "holiday_(new).mpg");
    EXPECT_EQ(Cell(1, 3), "beach walk_(new).mpg");
    EXPECT_FALSE(std::filesystem::exists(home.File("videoconverter/holiday_(new).mpg")));

    const std::string first = window->Model().Jobs().Record(0).OutputFile;
    const std::string second = window->Model().Jobs().Record(1).OutputFile;
    QTest::mouseClick(window->Ui().tlbMain->widgetForAction(window->Ui().tbStart), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil(
        [&] { return !window->BatchRun().Running() && !window->ProgressWindow()->isVisible(); },
        120000));
    ASSERT_EQ(window->BatchRun().Jobs().size(), 2u);
    EXPECT_EQ(window->BatchRun().Jobs()[0].OutputFile, first);
    EXPECT_EQ(window->BatchRun().Jobs()[1].OutputFile, second);
    EXPECT_EQ(testing_support::ProbeEntry(first, "v:0", "stream=codec_name"), "mpeg1video");
    EXPECT_EQ(testing_support::ProbeEntry(second, "v:0", "stream=codec_name"), "mpeg1video");
    EXPECT_EQ(Cell(0, 3), "holiday_(new).mpg") << "after the run: the name written";
}

TEST_F(LayoutFixture, TheWindowGrowsAndComesBackWhereItWasLeft) {
    Open();
    EXPECT_EQ(window->minimumSize(), QSize(786, 480));
    EXPECT_EQ(window->size(), QSize(786, 480));
    EXPECT_EQ(window->Ui().pan1->size(), QSize(256, 183));
    window->resize(1280, 800);
    QApplication::processEvents();
    EXPECT_GT(window->Ui().pan1->width(), 400) << "the preview grows with the window";
    EXPECT_NEAR(window->Ui().pan1->width() * 183.0 / 256.0, window->Ui().pan1->height(), 1.0);
    window->move(20, 30);
    Add({clips.holiday});
    List().setColumnWidth(1, 80);
    const std::string settingsFile = window->Model().Global().SettingsFile();
    Close();
    const std::optional<TWindowPlace> place =
        TSettings(settingsFile, home.Path()).MainWindowPlace();
    ASSERT_TRUE(place.has_value()) << "stored in the settings file";
    EXPECT_EQ(place->Width, 1280);
    EXPECT_EQ(place->Height, 800);

    Open();
    EXPECT_EQ(window->size(), QSize(std::min(1280, window->screen()->availableGeometry().width()),
                                    std::min(800, window->screen()->availableGeometry().height())));
    Add({clips.holiday});
    EXPECT_EQ(List().columnWidth(1), 80) << "column widths come back";
    Close();

    // A place on no screen (a monitor since unplugged) moves onto one.
    TSettings(settingsFile, home.Path()).SetMainWindowPlace({5000, -3000, 800, 500});
    Open();
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->pos())) << window->x() << "," << window->y();
}

TEST_F(LayoutFixture, PathCellsKeepWholeFileNamesAtBothSizes) {
    Open();
    // 36 characters of name in a folder path far too long for the column.
    const std::string folder =
        home.File("a folder with a long name/and another one inside it/and a third");
    std::filesystem::create_directories(folder);
    const std::string name = "summer holiday at the seaside 01.avi";
    ASSERT_EQ(name.size(), 36u);
    const std::string source = clips.CopyAs(clips.holiday, folder + "/" + name);
    window->Model().Settings().SetFormat("MPEG-4 Video (*.mp4)", 2302);
    Add({source});
    const QString destination = "summer holiday at the seaside 01_(new).mp4";
    ASSERT_EQ(Cell(0, 3), destination);
    for (const QSize size : {QSize(786, 480), QSize(1280, 800)}) {
        window->resize(size);
        QApplication::processEvents();
        const QString shownSource = Shown(0, 0);
        EXPECT_TRUE(shownSource.endsWith("/" + QString::fromStdString(name)))
            << shownSource.toStdString() << " at " << size.width();
        EXPECT_NE(shownSource, QString::fromStdString(source)) << "the folder is shortened";
        EXPECT_TRUE(Shown(0, 3).endsWith(destination.right(40)))
            << Shown(0, 3).toStdString() << " at " << size.width();
        window->grab().save(
            QString::fromStdString(home.File("list-" + std::to_string(size.width()) + ".png")));
    }
    EXPECT_EQ(List().Model().index(0, 0).data(Qt::ToolTipRole).toString().toStdString(), source);
    if (const char* keep = std::getenv("VANTRE_REVIEW_PICTURES")) {
        for (const char* width : {"786", "1280"}) {
            const std::string picture = std::string("list-") + width + ".png";
            std::filesystem::copy_file(home.File(picture), std::string(keep) + "/" + picture,
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
}
