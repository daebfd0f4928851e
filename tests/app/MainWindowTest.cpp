#include "VantreApp.h"
#include "WinMain.h"

#include "DeviceList.h"
#include "DeviceListBox.h"
#include "DeviceListModel.h"
#include "FormatPicker.h"
#include "GuiTestHelpers.h"
#include "JobListDelegate.h"
#include "JobListModel.h"
#include "JobListView.h"
#include "RecordingShell.h"
#include "ThemeManager.h"
#include "VideoWidget.h"
#include "WinSettings.h"

#include <QAccessible>
#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using gui_test::SharedClips;
using gui_test::WaitUntil;
using testing_support::TempDir;

namespace {

// Counts the window's hide and show events.
struct VisibilityCounter : QObject {
    int hides = 0;
    int shows = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        hides += event->type() == QEvent::Hide ? 1 : 0;
        shows += event->type() == QEvent::Show ? 1 : 0;
        return false;
    }
};

QStringList Captions(const QMenu* menu) {
    QStringList captions;
    for (const QAction* action : menu->actions()) {
        captions << (action->isSeparator() ? QString("-") : action->text());
    }
    return captions;
}

struct MainWindowFixture : ::testing::Test {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    std::unique_ptr<TVantreApp> vantre;
    std::unique_ptr<TfrmMain> window;
    const gui_test::Clips& clips = SharedClips();

    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        vantre = std::make_unique<TVantreApp>(TUserPlaces{home.Path(), ""}, "");
        window = std::make_unique<TfrmMain>(*vantre);
        window->show();
    }
    void TearDown() override { window.reset(); }

    const TMainWindowUi& Ui() const { return window->Ui(); }
    TJobList& Jobs() { return window->Model().Jobs(); }
    TSettings& Settings() { return window->Model().Settings(); }
    TJobListModel& JobModel() { return Ui().lvFiles->Model(); }
    QString Cell(int row, int column) {
        return JobModel().index(row, column).data(Qt::DisplayRole).toString();
    }

    void Add(const std::vector<std::string>& paths) {
        window->AddFiles(paths);
        ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    }
    // The Add command with the file dialog answering paths.
    void AddThroughDialog(const std::vector<std::string>& paths) {
        shell.fileAnswers.push_back(paths);
        Ui().tbAdd->trigger();
        ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    }
    std::vector<std::string> Copies(int count, const std::string& prefix) {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(
                clips.CopyAs(clips.holiday, home.File(prefix + std::to_string(i) + ".avi")));
        }
        return paths;
    }
    void ClickCheckBox(int row) {
        const QRect cell = Ui().lvFiles->visualRect(JobModel().index(row, 0));
        QTest::mouseClick(Ui().lvFiles->viewport(), Qt::LeftButton, {},
                          TJobListDelegate::CheckBoxRect(cell).center());
    }
};

} // namespace

TEST_F(MainWindowFixture, MenusToolBarAndButtonsCarryTheirCaptions) {
    QStringList bar;
    for (const QAction* action : window->menuBar()->actions()) {
        bar << action->text();
    }
    EXPECT_EQ(bar, QStringList({"&File", "&Edit", "&Tools", "&Help"}));
    EXPECT_EQ(Captions(Ui().mnuFile),
              QStringList({"&Add", "&Remove", "&Clear", "&Start", "-", "Se&ttings", "&Exit"}));
    EXPECT_FALSE(Ui().mniSettings->isVisible()) << "Se&ttings is hidden";
    EXPECT_EQ(Captions(Ui().mnuEdit),
              QStringList({"&Crop", "&Trim", "&Video Effect && Water Mark", "-", "&Check All",
                           "&Uncheck All", "&Reverse Check", "-", "C&heck", "U&ncheck"}));
    EXPECT_EQ(Captions(Ui().mnuTools), QStringList({"&Preference", "&Skin"}));
    EXPECT_EQ(Captions(Ui().mnuSkin),
              QStringList({"Default", "Gray", "Orange", "Purple", "Red", "Green", "Light blue"}));
    EXPECT_EQ(Captions(Ui().mnuHelp),
              QStringList({"&Help", "-", "&Web Site", "&Support and Contact", "&About"}));
    EXPECT_EQ(Captions(Ui().pmnJobs),
              QStringList({"&Crop", "&Trim", "&Video Effect && Water Mark", "-", "Add", "Remove",
                           "Clear", "Start", "-", "Video Infomation"}));
    QStringList tools;
    for (const QAction* action : Ui().tlbMain->actions()) {
        tools << action->text();
    }
    EXPECT_EQ(tools,
              QStringList({"&Add", "&Remove", "&Clear", "&Edit", "&Settings", "&Start", "&Exit"}));
    EXPECT_EQ(Ui().btnStart->text(), "&Start");
    EXPECT_EQ(Ui().btnSettings->text(), "Settings");
    EXPECT_EQ(Ui().btnBrows->text(), "Brows");
    EXPECT_EQ(Ui().btnOpen->text(), "Open");
    EXPECT_EQ(Ui().ckMute->text(), "Mute");
    EXPECT_EQ(Ui().imgbtnPlay->toolTip(), "play");
    EXPECT_EQ(Ui().imgbtnPAuse->toolTip(), "pause");
    EXPECT_EQ(Ui().imgbtnStop->toolTip(), "stop");
    EXPECT_EQ(Ui().imgbtnSnap->toolTip(), "capture image");
    EXPECT_EQ(Ui().lblTime->text(), "00:00:00");
    EXPECT_EQ(Ui().lblPTS->text(), "00:00:00");
    EXPECT_EQ(window->windowTitle(), "Vantre MP4 Video Converter" +
                                         QString::fromStdString(TfrmMain::ProgramVersionText()));
}

TEST_F(MainWindowFixture, ShownWindowHasItsStartStates) {
    EXPECT_GE(window->width(), 786);
    EXPECT_GE(window->height(), 480);
    EXPECT_EQ(window->minimumSize(), QSize(786, 480)) << "the design size is the smallest";
    EXPECT_GT(window->maximumWidth(), 786) << "it may grow";
    EXPECT_TRUE(Ui().imgbtnPlay->isEnabled());
    EXPECT_FALSE(Ui().imgbtnPAuse->isEnabled());
    EXPECT_FALSE(Ui().imgbtnStop->isEnabled());
    EXPECT_FALSE(Ui().imgbtnSnap->isEnabled());
    EXPECT_FALSE(Ui().trcPreview->isEnabled());
    EXPECT_EQ(Ui().trcVolume->maximum(), 128);
    EXPECT_EQ(Ui().pan1->size(), QSize(256, 183));
    EXPECT_TRUE(Ui().edDirectory->isReadOnly());
    EXPECT_EQ(Ui().edDirectory->text().toStdString(), home.File("videoconverter"));
    EXPECT_EQ(Settings().OutputDir(), home.File("videoconverter"));
    EXPECT_EQ(Ui().picker->FormatBox()->text(), "iPod Video H.264 (*.mp4)");
    EXPECT_TRUE(Ui().lvFiles->header()->isVisible()) << "showing restores the five columns";
    EXPECT_EQ(JobModel().columnCount(), 5);
    EXPECT_FALSE(Ui().btnStart->isEnabled()) << "nothing to start";
    EXPECT_FALSE(Ui().tbRemove->isEnabled());
    EXPECT_FALSE(Ui().mmoLog->isVisible());
    EXPECT_TRUE(Ui().mmoLog->toPlainText().isEmpty()) << "the libraries loaded";
    // Every control the keyboard needs is in the tab chain.
    for (QWidget* widget : std::initializer_list<QWidget*>{
             Ui().lvFiles, Ui().picker->FormatBox(), Ui().picker->DropButton(), Ui().btnSettings,
             Ui().edDirectory, Ui().btnBrows, Ui().btnOpen, Ui().btnStart, Ui().imgbtnPlay,
             Ui().ckMute, Ui().trcVolume}) {
        EXPECT_TRUE(widget->focusPolicy() & Qt::TabFocus) << widget->objectName().toStdString();
    }
}

TEST_F(MainWindowFixture, AddingTheSameFileTwiceGivesOneRow) {
    AddThroughDialog({clips.holiday, clips.holiday});
    EXPECT_EQ(shell.dialogs, std::vector<std::string>{"Open"});
    ASSERT_EQ(JobModel().rowCount(), 1);
    AddThroughDialog({clips.holiday});
    EXPECT_EQ(JobModel().rowCount(), 1);
    EXPECT_EQ(Cell(0, 0).toStdString(), clips.holiday);
    EXPECT_EQ(Cell(0, 1), "1");
    EXPECT_EQ(JobModel().index(0, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
    EXPECT_TRUE(Ui().btnStart->isEnabled());
    EXPECT_TRUE(Ui().tbRemove->isEnabled() && Ui().tbClear->isEnabled());
    EXPECT_EQ(Ui().lvFiles->currentIndex().row(), 0) << "the first row is selected";
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(MainWindowFixture, FoldersAndFilesThatCannotBeOpenedAreSkippedWithoutAMessage) {
    std::filesystem::create_directories(home.File("folder"));
    std::filesystem::create_directories(home.File("named like a clip.avi"));
    std::ofstream(home.File("broken.mp4")) << "not a video";
    AddThroughDialog({clips.holiday, home.File("folder"), home.File("named like a clip.avi"),
                      home.File("broken.mp4"), clips.beach});
    ASSERT_EQ(JobModel().rowCount(), 2);
    EXPECT_EQ(Cell(0, 0).toStdString(), clips.holiday);
    EXPECT_EQ(Cell(1, 0).toStdString(), clips.beach);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(MainWindowFixture, DestinationFileAvoidsAnExistingOutput) {
    std::filesystem::create_directories(home.File("videoconverter"));
    std::ofstream(home.File("videoconverter/holiday_(new).mp4")) << "earlier";
    Add({clips.holiday});
    ASSERT_EQ(JobModel().rowCount(), 1);
    EXPECT_EQ(Cell(0, 3), "holiday_(new_1).mp4");
    EXPECT_EQ(JobModel().index(0, 3).data(Qt::ToolTipRole).toString().toStdString(),
              home.File("videoconverter/holiday_(new_1).mp4"))
        << "the whole path is a hover away";
}

TEST_F(MainWindowFixture, RemovingTheOnlyRowRemovesTheColumnsAndAddingBringsThemBack) {
    Add({clips.holiday});
    ASSERT_EQ(JobModel().rowCount(), 1);
    Ui().tbRemove->trigger();
    EXPECT_EQ(JobModel().rowCount(), 0);
    EXPECT_EQ(JobModel().columnCount(), 1) << "a plain list";
    EXPECT_FALSE(Ui().lvFiles->header()->isVisible());
    EXPECT_FALSE(Ui().btnStart->isEnabled());
    Add({clips.beach});
    EXPECT_EQ(JobModel().columnCount(), 5);
    EXPECT_TRUE(Ui().lvFiles->header()->isVisible());
    QStringList headers;
    for (int column = 0; column < 5; ++column) {
        headers << JobModel().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    EXPECT_EQ(headers,
              QStringList({"Source", "Length", "Trimmed Length", "Destination File", "Progress"}));
    for (int column = 1; column < 5; ++column) {
        EXPECT_GE(Ui().lvFiles->columnWidth(column),
                  TJobList::ColumnWidth(static_cast<TJobColumn>(column)));
    }
    Ui().mniClear->trigger();
    EXPECT_EQ(JobModel().rowCount(), 0);
    EXPECT_FALSE(Ui().lvFiles->header()->isVisible());
}

TEST_F(MainWindowFixture, CheckCommandsAndTheCheckBoxes) {
    Add(Copies(3, "row"));
    ASSERT_EQ(Jobs().Count(), 3);
    ClickCheckBox(1);
    EXPECT_FALSE(Jobs().Checked(1)) << "a click in the box unchecks the row";
    Ui().mniReverseCheck->trigger();
    EXPECT_EQ((std::vector<bool>{Jobs().Checked(0), Jobs().Checked(1), Jobs().Checked(2)}),
              (std::vector<bool>{false, true, false}));
    Ui().mniCheckAll->trigger();
    EXPECT_EQ(Jobs().CheckedCount(), 3);
    Ui().mniUncheckAll->trigger();
    EXPECT_EQ(Jobs().CheckedCount(), 0);
    QTest::mouseClick(Ui().lvFiles->viewport(), Qt::LeftButton, {},
                      Ui().lvFiles->visualRect(JobModel().index(2, 2)).center());
    EXPECT_EQ(Jobs().Selected(), 2);
    Ui().mniCheck->trigger();
    EXPECT_TRUE(Jobs().Checked(2));
    Ui().lvFiles->setFocus();
    QTest::keyClick(Ui().lvFiles, Qt::Key_Space);
    EXPECT_FALSE(Jobs().Checked(2)) << "space toggles the selected row";
    QTest::keyClick(Ui().lvFiles, Qt::Key_Up);
    EXPECT_EQ(Jobs().Selected(), 1) << "arrows move the selection";
    QTest::keyClick(Ui().lvFiles, Qt::Key_Space);
    EXPECT_TRUE(Jobs().Checked(1));
    Ui().mniUncheck->trigger();
    EXPECT_FALSE(Jobs().Checked(1));
}

TEST_F(MainWindowFixture, EditMenuAndPopupFollowTheSelection) {
    const std::vector<QAction*> rowCommands = {
        Ui().mniCrop,       Ui().mniTrim,         Ui().mniVideoEffect, Ui().mniCheckAll,
        Ui().mniUncheckAll, Ui().mniReverseCheck, Ui().mniCheck,       Ui().mniUncheck};
    Ui().mnuEdit->popup(window->mapToGlobal(QPoint(40, 30)));
    for (QAction* action : rowCommands) {
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
    }
    Ui().mnuEdit->hide();
    Ui().tbEdit->trigger(); // the pop-up opens below the button
    ASSERT_TRUE(Ui().pmnJobs->isVisible());
    const QWidget* editButton = Ui().tlbMain->widgetForAction(Ui().tbEdit);
    EXPECT_GE(Ui().pmnJobs->y(), editButton->mapToGlobal(QPoint(0, editButton->height())).y() - 1);
    for (QAction* action :
         {Ui().pmiCrop, Ui().pmiTrim, Ui().pmiVideoEffect, Ui().pmiVideoInformation, Ui().pmiRemove,
          Ui().pmiClear, Ui().pmiStart}) {
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
    }
    EXPECT_TRUE(Ui().pmiAdd->isEnabled());
    Ui().pmnJobs->hide();

    Add({clips.holiday});
    Ui().mnuEdit->popup(window->mapToGlobal(QPoint(40, 30)));
    for (QAction* action : rowCommands) {
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    }
    EXPECT_TRUE(Ui().mniVideoEffect->isVisible());
    Ui().mnuEdit->hide();
    // The right button on the list.
    QWidget* viewport = Ui().lvFiles->viewport();
    const QPoint at = Ui().lvFiles->visualRect(JobModel().index(0, 0)).center();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &rightClick);
    ASSERT_TRUE(Ui().pmnJobs->isVisible());
    for (QAction* action :
         {Ui().pmiCrop, Ui().pmiTrim, Ui().pmiVideoEffect, Ui().pmiVideoInformation, Ui().pmiRemove,
          Ui().pmiClear, Ui().pmiStart, Ui().pmiAdd}) {
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    }
    Ui().pmnJobs->hide();
}

TEST_F(MainWindowFixture, RowMenuOpensFromTheKeyboardAndEveryItemIsNamed) {
    Add({clips.holiday, clips.beach});
    ASSERT_EQ(Jobs().Count(), 2);
    TJobListView* list = Ui().lvFiles;
    QMenu* menu = Ui().pmnJobs;
    QTest::keyClick(list, Qt::Key_F10);
    EXPECT_FALSE(menu->isVisible()) << "F10 alone is not the menu key";
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Menu, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
        Jobs().Select(1);
        list->setFocus();
        QTest::keyClick(list, key, modifiers);
        ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); })) << key;
        // Opened at the selected row, not wherever the pointer happens to be.
        const QRect row = list->visualRect(JobModel().index(1, 0));
        EXPECT_EQ(menu->pos(), list->viewport()->mapToGlobal(row.center())) << key;

        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(menu);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->role(), QAccessible::PopupMenu);
        EXPECT_EQ(accessible->text(QAccessible::Name), "Files");
        EXPECT_FALSE(accessible->state().invisible);
        QStringList names;
        QAccessibleInterface* remove = nullptr;
        for (int i = 0; i < accessible->childCount(); ++i) {
            QAccessibleInterface* item = accessible->child(i);
            if (item->role() == QAccessible::Separator) {
                continue;
            }
            names << item->text(QAccessible::Name);
            if (names.back() == "Remove") {
                remove = item;
            }
        }
        EXPECT_EQ(names, QStringList({"Crop", "Trim", "Video Effect & Water Mark", "Add", "Remove",
                                      "Clear", "Start", "Video Infomation"}));
        QTest::keyClick(menu, Qt::Key_Escape);
        EXPECT_FALSE(menu->isVisible()) << key;
        ASSERT_NE(remove, nullptr);
        ASSERT_NE(remove->actionInterface(), nullptr);
        EXPECT_TRUE(remove->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::pressAction()));
    }

    // Assistive technology presses "Remove": the selected row goes.
    Jobs().Select(1);
    QTest::keyClick(list, Qt::Key_Menu);
    ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); }));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; i < accessible->childCount(); ++i) {
        QAccessibleInterface* item = accessible->child(i);
        if (item->text(QAccessible::Name) == "Remove") {
            item->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        }
    }
    menu->hide();
    ASSERT_EQ(Jobs().Count(), 1);
    EXPECT_EQ(Jobs().Record(0).SourceFile, clips.holiday);
}

TEST_F(MainWindowFixture, ThemeZeroWithoutSettingsAndTheSkinMenuMarksIt) {
    EXPECT_FALSE(std::filesystem::exists(Settings().Ini().FileName() + ".none"));
    EXPECT_EQ(TThemeManager::Current(), 0);
    Ui().mnuSkin->popup(window->mapToGlobal(QPoint(100, 60)));
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(Ui().mniSkins[i]->isChecked(), i == 0) << i;
    }
    Ui().mnuSkin->hide();
}

TEST_F(MainWindowFixture, ChoosingTheCheckedThemeDoesNothingAndAnotherIsAppliedAndStored) {
    VisibilityCounter counter;
    window->installEventFilter(&counter);
    Ui().mniSkins[0]->trigger();
    EXPECT_EQ(counter.hides + counter.shows, 0) << "no hide and show";
    EXPECT_TRUE(Ui().mniSkins[0]->isChecked());
    EXPECT_FALSE(Settings().Ini().ValueExists("settings", "skinIndex"));

    Ui().mniSkins[3]->trigger();
    EXPECT_EQ(counter.hides, 1);
    EXPECT_EQ(counter.shows, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(TThemeManager::Current(), 3);
    EXPECT_EQ(Settings().SkinIndex(), 3);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(Ui().mniSkins[i]->isChecked(), i == 3) << i;
    }
    // Every window shown later takes the theme: it is the application's.
    EXPECT_EQ(QApplication::palette().color(QPalette::AlternateBase),
              TThemeManager::StripeColour(3));
    EXPECT_EQ(TThemeManager::StripeColour(3), QColor(0xf6, 0xe6, 0xf1));
    window->removeEventFilter(&counter);
    TThemeManager::Apply(0);
}

TEST_F(MainWindowFixture, ClosingWithNoKeepsEverythingAndYesStoresTheGroups) {
    Add({clips.holiday});
    TDeviceListBox* list = Ui().picker->List();
    ASSERT_TRUE(list->Toggle(0));
    const int rows = list->model()->rowCount();
    shell.messageAnswers.push_back(TMsgResult::No);
    EXPECT_FALSE(window->close());
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "Do you really want to exit?");
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_EQ(shell.messages[0].icon, TMsgIcon::Question);
    EXPECT_EQ(shell.messages[0].buttons, TMsgButtons::YesNo);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Jobs().Count(), 1);
    EXPECT_EQ(list->model()->rowCount(), rows);
    EXPECT_TRUE(Settings().GroupCollapsed(0)) << "nothing stored on No";

    shell.messageAnswers.push_back(TMsgResult::Yes);
    Ui().mniExit->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(Settings().GroupCollapsed(0)) << "group states stored on exit";
}

TEST_F(MainWindowFixture, OutputFolderBrowsAndOpen) {
    const QString before = Ui().edDirectory->text();
    shell.folderAnswers.push_back("/ab");
    QTest::mouseClick(Ui().btnBrows, Qt::LeftButton);
    EXPECT_EQ(shell.dialogs, std::vector<std::string>{"ChooseFolder"});
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "The path /ab is not a valid directory.");
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_EQ(Ui().edDirectory->text(), before);

    std::filesystem::create_directories(home.File("movies"));
    shell.folderAnswers.push_back(home.File("movies"));
    QTest::mouseClick(Ui().btnBrows, Qt::LeftButton);
    EXPECT_EQ(Ui().edDirectory->text().toStdString(), home.File("movies"));
    EXPECT_EQ(Settings().OutputDir(), home.File("movies"));

    QTest::mouseClick(Ui().btnBrows, Qt::LeftButton); // cancelled: no change
    EXPECT_EQ(Settings().OutputDir(), home.File("movies"));
    QTest::mouseClick(Ui().btnOpen, Qt::LeftButton);
    EXPECT_EQ(shell.opened, std::vector<std::string>{home.File("movies")});
}

TEST_F(MainWindowFixture, DeviceListGroupsExpandAndCollapse) {
    TDeviceListBox* list = Ui().picker->List();
    QAbstractItemModel* model = list->model();
    ASSERT_EQ(model->rowCount(), 28) << "no \"lstformat\": every group collapsed";
    for (int row = 0; row < 28; ++row) {
        EXPECT_TRUE(model->index(row, 0).data(TDeviceListModel::IsGroupRole).toBool());
    }
    Ui().picker->ShowList();
    ASSERT_TRUE(list->isVisible());
    const QRect first = list->RowRect(0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(8, first.center().y()));
    ASSERT_EQ(model->rowCount(), 37) << "the nine iPod entries";
    EXPECT_EQ(model->index(1, 0).data().toString(), "iPod Video MPEG-4 (*.mp4)");
    EXPECT_EQ(model->index(9, 0).data().toString(), "iPod Touch MPEG-4 Wide Screen (*.mp4)");
    EXPECT_EQ(model->index(10, 0).data().toString(), "Apple iPhone");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(60, first.center().y()));
    EXPECT_EQ(model->rowCount(), 37) << "a press on the caption does not toggle";
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(8, first.center().y()));
    ASSERT_EQ(model->rowCount(), 28);
    EXPECT_EQ(model->index(1, 0).data().toString(), "Apple iPhone");

    // A double click on a group's caption; moving over a row selects it.
    const QPoint appleTv(80, list->RowRect(2).center().y());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, appleTv);
    ASSERT_EQ(model->rowCount(), 34);
    QTest::mouseMove(list->viewport(), QPoint(80, list->RowRect(8).center().y()));
    EXPECT_EQ(list->SelectedRow(), 8);
    // Choosing an entry stores it as the current format and closes the list.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(80, list->RowRect(8).center().y()));
    EXPECT_EQ(Settings().FormatCode(), 205);
    EXPECT_EQ(Settings().StoredFormatName(TFormatNameUse::DeviceList),
              "Apple H.264 720p (1280 x 720) (*.mp4)");
    EXPECT_EQ(Ui().picker->FormatBox()->text(), "Apple H.264 720p (1280 x 720) (*.mp4)");
    EXPECT_EQ(window->Model().Table().CurrentCode(), "205");
    EXPECT_FALSE(list->isVisible());
    // Settings stores the group states before its dialog.
    QTimer::singleShot(0, window.get(), [&] { window->SettingsDialog()->reject(); });
    Ui().btnSettings->click();
    EXPECT_FALSE(Settings().GroupCollapsed(2));
    EXPECT_TRUE(Settings().GroupCollapsed(0));
}

TEST_F(MainWindowFixture, DeviceListOpensUpwardsAndClosesOnAPressElsewhere) {
    TFormatPicker* picker = Ui().picker;
    QTest::mouseClick(picker->DropButton(), Qt::LeftButton);
    ASSERT_TRUE(picker->ListShown());
    const QWidget* host = picker->List()->parentWidget();
    const QRect list = picker->List()->geometry();
    const int boxTop = picker->FormatBox()->mapTo(host, QPoint(0, 0)).y();
    EXPECT_LE(list.bottom(), boxTop) << "the list ends above the box";
    EXPECT_EQ(list.height(), 358) << "26 rows would be taller than the largest list";
    QTest::mouseClick(picker->DropButton(), Qt::LeftButton);
    EXPECT_FALSE(picker->ListShown()) << "the button toggles";
    QTest::mouseClick(picker->FormatBox(), Qt::LeftButton);
    ASSERT_TRUE(picker->ListShown());
    QTest::mousePress(Ui().lvFiles->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(Ui().lvFiles->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(picker->ListShown()) << "a press on another control closes it";
    QTest::mouseDClick(picker->FormatBox(), Qt::LeftButton);
    ASSERT_TRUE(picker->ListShown());
    QEvent deactivate(QEvent::ApplicationDeactivate);
    QApplication::sendEvent(qApp, &deactivate);
    EXPECT_FALSE(picker->ListShown()) << "the program losing activation closes it";
    picker->FormatBox()->setFocus();
    QTest::keyClick(picker->FormatBox(), Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(picker->ListShown());
    QTest::keyClick(picker->List(), Qt::Key_Escape);
    EXPECT_FALSE(picker->ListShown());
}

TEST_F(MainWindowFixture, HelpMenuOpensTheAddresses) {
    Ui().mniHelp->trigger();
    Ui().mniWebSite->trigger();
    Ui().mniSupport->trigger();
    ASSERT_EQ(shell.opened.size(), 3u);
    EXPECT_EQ(shell.opened[0], window->Model().Global().HelpLink());
    EXPECT_EQ(shell.opened[1], window->Model().Global().WebLink());
    EXPECT_EQ(shell.opened[2].rfind("https://", 0), 0u);
}

TEST_F(MainWindowFixture, AboutShowsTitleAndVersionAndIsMadeOnce) {
    std::vector<QWidget*> shown;
    for (int round = 0; round < 2; ++round) {
        QString shownTitle;
        QTimer::singleShot(0, window.get(), [&] {
            QWidget* about = QApplication::activeModalWidget();
            ASSERT_NE(about, nullptr);
            shown.push_back(about);
            EXPECT_EQ(about->windowTitle(), "About");
            shownTitle = gui_test::Child<QLabel>(*about, "lblAppNameVer")->text();
            gui_test::Child<QPushButton>(*about, "btnOk")->click();
        });
        Ui().mniAbout->trigger();
        EXPECT_EQ(shownTitle, QString::fromStdString(window->Model().Global().Title() +
                                                     window->Model().Global().VersionText()));
    }
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], shown[1]);
}

TEST_F(MainWindowFixture, AddingManyFilesShowsAProgressDialogThatCancels) {
    const std::vector<std::string> paths = Copies(100, "many");
    window->SetAddProgressDelay(0);
    // The adder's reports arrive as posted copies: one turn of the event loop may show and
    // hide the dialog, so its showing is caught as an event rather than polled.
    struct ShowSpy : QObject {
        bool seen = false;
        bool eventFilter(QObject*, QEvent* event) override {
            seen = seen || event->type() == QEvent::Show;
            return false;
        }
    } showSpy;
    window->AddFiles(paths);
    ASSERT_NE(window->AddProgress(), nullptr);
    window->AddProgress()->installEventFilter(&showSpy);
    ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    window->AddProgress()->removeEventFilter(&showSpy);
    EXPECT_TRUE(showSpy.seen);
    EXPECT_EQ(Jobs().Count(), 100);
    EXPECT_FALSE(window->AddProgress()->isVisible()) << "gone when the add ends";
    EXPECT_EQ(Jobs().Record(99).SourceFile, paths[99]) << "in the order given";

    Ui().tbClear->trigger();
    QObject::connect(&JobModel(), &QAbstractItemModel::rowsInserted, window.get(),
                     [&] { window->AddProgress()->findChild<QPushButton*>()->click(); });
    window->AddFiles(paths);
    ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    EXPECT_EQ(Jobs().Count(), 1) << "the rows added before the cancel stay";
}

TEST_F(MainWindowFixture, DroppedFolderAddsItsMediaFilesInNameOrder) {
    std::filesystem::create_directories(home.File("drop/sub"));
    clips.CopyAs(clips.holiday, home.File("drop/b.avi"));
    clips.CopyAs(clips.beach, home.File("drop/a.mp4"));
    clips.CopyAs(clips.holiday, home.File("drop/sub/c.avi"));
    std::ofstream(home.File("drop/notes.txt")) << "text";
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(home.File("drop")))});
    QWidget* viewport = Ui().lvFiles->viewport();
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);
    ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    ASSERT_EQ(Jobs().Count(), 3);
    EXPECT_EQ(Jobs().Caption(0), home.File("drop/a.mp4"));
    EXPECT_EQ(Jobs().Caption(1), home.File("drop/b.avi"));
    EXPECT_EQ(Jobs().Caption(2), home.File("drop/sub/c.avi"));
}

TEST_F(MainWindowFixture, ListsShowRowsCellsAndChecksToAssistiveTechnology) {
    Add({clips.holiday, clips.beach});
    ClickCheckBox(1);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(Ui().lvFiles);
    ASSERT_NE(table, nullptr);
    QAccessibleTableInterface* cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->rowCount(), 2);
    EXPECT_EQ(cells->columnCount(), 5);
    EXPECT_EQ(cells->columnDescription(3), "Destination File");
    QAccessibleInterface* source = cells->cellAt(0, 0);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->text(QAccessible::Name).toStdString(), clips.holiday);
    EXPECT_TRUE(source->state().checkable);
    EXPECT_TRUE(source->state().checked);
    EXPECT_FALSE(cells->cellAt(1, 0)->state().checked);
    EXPECT_EQ(cells->cellAt(1, 1)->text(QAccessible::Name), "2");

    QAccessibleInterface* devices = QAccessible::queryAccessibleInterface(Ui().picker->List());
    ASSERT_NE(devices, nullptr);
    ASSERT_NE(devices->tableInterface(), nullptr);
    EXPECT_EQ(devices->tableInterface()->rowCount(), 28);
    QAccessibleInterface* group = devices->tableInterface()->cellAt(4, 0);
    EXPECT_EQ(group->text(QAccessible::Name), "Sony PSP");
    EXPECT_EQ(group->text(QAccessible::Description), "device group, collapsed");
}

TEST_F(MainWindowFixture, RowsAreDrawnWithStripesAndTheSelectionFill) {
    window->resize(1280, 800); // every column in view
    Add({clips.holiday, clips.beach});
    Jobs().Select(0);
    auto pixel = [&](int row) {
        // The middle of the "Progress" cell, which holds no text yet.
        const QRect cell = Ui().lvFiles->visualRect(JobModel().index(row, 4));
        return Ui().lvFiles->viewport()->grab().toImage().pixelColor(cell.center());
    };
    EXPECT_EQ(pixel(1), TThemeManager::StripeColour(0)) << "odd rows take the theme's stripe";
    const QColor selected = pixel(0);
    EXPECT_TRUE(selected == TThemeManager::FromBgr(15518905) ||
                selected == TThemeManager::FromBgr(16313573))
        << selected.name().toStdString();
    Ui().mniSkins[5]->trigger();
    EXPECT_EQ(pixel(1), TThemeManager::StripeColour(5));
    Jobs().Select(1);
    EXPECT_EQ(pixel(0), QColor(Qt::white)) << "even rows are white";
    TThemeManager::Apply(0);
}
