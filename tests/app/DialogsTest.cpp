#include "AppException.h"
#include "Bitmap24.h"
#include "DeviceList.h"
#include "DeviceListBox.h"
#include "DialogMessages.h"
#include "Directory.h"
#include "FFmpegException.h"
#include "FormatPicker.h"
#include "FormatTable.h"
#include "GuiTestHelpers.h"
#include "MainThread.h"
#include "Previewer.h"
#include "QtPreviewWindow.h"
#include "QtShellServices.h"
#include "RecordingShell.h"
#include "Settings.h"
#include "WinAbout.h"
#include "WinCover.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

using gui_test::Child;
using gui_test::WaitUntil;
using testing_support::TempDir;

namespace {

struct ShellFixture : ::testing::Test {
    TempDir dir;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
};

std::string TreePath(const QTreeWidget& tree) {
    const QTreeWidgetItem* item = tree.currentItem();
    return item != nullptr ? item->data(0, Qt::UserRole + 1).toString().toStdString() : "";
}

} // namespace

TEST_F(ShellFixture, FolderChooserRefusesAnOpticalDiscAndStaysOpen) {
    std::filesystem::create_directories(dir.File("disc/Movies"));
    std::filesystem::create_directories(dir.File("videos/holiday"));
    TfmDirectory chooser("Vantre MP4 Video Converter", dir.Path());
    chooser.SetOpticalCheck(
        [&](const std::string& path) { return path.rfind(dir.File("disc"), 0) == 0; });
    EXPECT_EQ(chooser.windowTitle(), "Brows");
    EXPECT_EQ(Child<QLabel>(chooser, "lblPrompt")->text(), "Please select an output directory:");
    EXPECT_EQ(Child<QPushButton>(chooser, "btnOk")->text(), "Ok");
    EXPECT_EQ(Child<QPushButton>(chooser, "btnCancel")->text(), "Cancel");
    EXPECT_EQ(chooser.size(), QSize(322, 351));
    QTreeWidget* tree = Child<QTreeWidget>(chooser, "stview_selectdir");
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->topLevelItemCount(), 2) << "the home folder and the file system";

    chooser.show();
    ASSERT_TRUE(chooser.SelectFolder(dir.File("disc/Movies")));
    EXPECT_EQ(TreePath(*tree), dir.File("disc/Movies"));
    Child<QPushButton>(chooser, "btnOk")->click();
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text,
              "Output folder cannot be located in CD-ROM.Please select another folder.");
    EXPECT_EQ(shell.messages[0].caption, "Vantre MP4 Video Converter");
    EXPECT_EQ(shell.messages[0].icon, TMsgIcon::Information);
    EXPECT_TRUE(chooser.isVisible()) << "the chooser stays open";
    EXPECT_EQ(chooser.SelectedPath(), "");

    Child<QPushButton>(chooser, "btnCancel")->click();
    EXPECT_FALSE(chooser.isVisible());
    EXPECT_EQ(chooser.SelectedPath(), "") << "cancel after a refusal returns nothing";

    chooser.show();
    ASSERT_TRUE(chooser.SelectFolder(dir.File("videos/holiday")));
    Child<QPushButton>(chooser, "btnOk")->click();
    EXPECT_FALSE(chooser.isVisible());
    EXPECT_EQ(chooser.SelectedPath(), dir.File("videos/holiday"));
    EXPECT_EQ(shell.messages.size(), 1u);
}

TEST_F(ShellFixture, FolderChooserOpensFoldersAsTheyAreExpanded) {
    std::filesystem::create_directories(dir.File("b"));
    std::filesystem::create_directories(dir.File("A/inner"));
    std::ofstream(dir.File("file.txt")) << "x";
    TfmDirectory chooser("title", dir.Path());
    QTreeWidgetItem* home = chooser.Tree()->topLevelItem(0);
    EXPECT_EQ(home->childCount(), 0) << "read when opened";
    home->setExpanded(true);
    ASSERT_EQ(home->childCount(), 2) << "folders only";
    EXPECT_EQ(home->child(0)->text(0), "A");
    EXPECT_EQ(home->child(1)->text(0), "b");
    EXPECT_FALSE(chooser.SelectFolder(dir.File("missing")));
    EXPECT_TRUE(chooser.SelectFolder("/"));
    EXPECT_EQ(TreePath(*chooser.Tree()), "/");
}

TEST_F(ShellFixture, AboutShowsTitleVersionAndOpensTheLink) {
    TfrmAbout about("Vantre MP4 Video Converter", " 0.100 ", "https://vantre.example.org/");
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.TitleLabel()->text(), "Vantre MP4 Video Converter 0.100 ");
    EXPECT_GE(about.width(), 330);
    EXPECT_GE(about.height(), 177);
    EXPECT_EQ(Child<QPushButton>(about, "btnOk")->text(), "&Ok");
    about.show();
    emit about.Link()->linkActivated("https://vantre.example.org/");
    EXPECT_EQ(shell.opened, std::vector<std::string>{"https://vantre.example.org/"});
    Child<QPushButton>(about, "btnOk")->click();
    EXPECT_FALSE(about.isVisible());
}

TEST_F(ShellFixture, SplashTakesThePictureBesideTheProgramAndClosesOnceTheWindowShows) {
    TfrmCover builtIn(dir.Path(), "Vantre MP4 Video Converter", " 0.100 ");
    EXPECT_FALSE(builtIn.FromFile());
    EXPECT_EQ(builtIn.size(), QSize(480, 270));

    std::filesystem::create_directories(dir.File("skin"));
    QImage picture(200, 120, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(QString::fromStdString(dir.File("skin/va4dedorerozo.jpg")), "JPG"));
    TfrmCover cover(dir.Path(), "Vantre MP4 Video Converter", " 0.100 ");
    EXPECT_TRUE(cover.FromFile());
    EXPECT_EQ(cover.size(), QSize(200, 120));
    EXPECT_TRUE(cover.windowFlags() & Qt::FramelessWindowHint);
    cover.show();
    QWidget mainWindow;
    cover.WatchWindow(&mainWindow);
    mainWindow.show();
    EXPECT_TRUE(WaitUntil([&] { return !cover.isVisible(); }, 10000))
        << "a timer tick after the main window shows";
}

TEST(ShellServices, FilterTextBecomesQtNameFilters) {
    EXPECT_EQ(TQtShellServices::NameFilters(
                  "All Supported Video Formats|*.AVI;*.MP4;|AVI files (*.avi)|*.avi|MPEG files "
                  "(*.mpg,*.mpeg)|*.mpg;*.mpeg|All files (*.*)|*.*"),
              QStringList({"All Supported Video Formats (*.AVI *.avi *.MP4 *.mp4)",
                           "AVI files (*.avi) (*.avi *.AVI)",
                           "MPEG files (*.mpg,*.mpeg) (*.mpg *.MPG *.mpeg *.MPEG)",
                           "All files (*.*) (*.*)"}));
}

TEST_F(ShellFixture, ExceptionsThatReachTheEventLoopAreShown) {
    struct Thrower : QObject {
        std::function<void()> raise;
        bool event(QEvent* e) override {
            if (e->type() == QEvent::User) {
                raise();
            }
            return QObject::event(e);
        }
    } thrower;
    thrower.raise = [] { throw FFmpegException("Unknown encoder x"); };
    QEvent event(QEvent::User);
    QApplication::sendEvent(&thrower, &event);
    thrower.raise = [] { throw std::runtime_error("Disk full."); };
    QApplication::sendEvent(&thrower, &event);
    ASSERT_EQ(shell.messages.size(), 2u);
    EXPECT_EQ(shell.messages[0].text, "Unknown encoder x.");
    EXPECT_EQ(shell.messages[0].icon, TMsgIcon::Warning) << "the media layer's errors warn";
    EXPECT_EQ(shell.messages[0].caption, QApplication::applicationName().toStdString());
    EXPECT_EQ(shell.messages[1].text, "Disk full.");
    EXPECT_EQ(shell.messages[1].icon, TMsgIcon::Error);
    EXPECT_EQ(AppExceptionText(""), "");
    EXPECT_EQ(AppExceptionText("Failed!"), "Failed!") << "'!' sorts before '.'";
    EXPECT_EQ(AppExceptionText("Failed)"), "Failed)");
    EXPECT_EQ(AppExceptionText("Failed 2"), "Failed 2.");
}

TEST(PreviewWindow, ShowsAConversionsPicturesUntilClosed) {
    SetPreviewWindowFactory(TQtPreviewWindow::Factory());
    TPreviewer previewer;
    TBitmap24 first(64, 48);
    for (int y = 0; y < 48; ++y) {
        std::fill(first.ScanLine(y), first.ScanLine(y) + 64 * 3, static_cast<uint8_t>(0));
        for (int x = 0; x < 64; ++x) {
            first.ScanLine(y)[x * 3 + 2] = 255; // red, stored blue-green-red
        }
    }
    TBitmap24 larger(80, 60);
    std::atomic<int> shown{0};
    std::atomic<int> step{0};
    std::thread worker([&] {
        shown += previewer.ShowPicture(first, 1, 3723456789) ? 1 : 0;
        shown += previewer.ShowPicture(larger, 2, 4000000) ? 1 : 0;
        step = 1;
        while (step != 2) {
            std::this_thread::yield();
        }
        previewer.ShowPicture(first, 3, 5000000);
        step = 3;
    });
    // The pictures are posted: the worker goes on before they are painted.
    ASSERT_TRUE(WaitUntil([&] { return step == 1 && !TMainThread::HasPending(); }));
    auto* window = qobject_cast<TQtPreviewWindow*>([] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "frmPreview") {
                return w;
            }
        }
        return static_cast<QWidget*>(nullptr);
    }());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(window->size(), QSize(64, 48)) << "the first picture's size stays";
    EXPECT_EQ(window->windowTitle(), "00:00:04.000");
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->Picture().size(), QSize(80, 60));
    window->close();
    step = 2;
    ASSERT_TRUE(WaitUntil([&] { return step == 3; }));
    worker.join();
    // The picture posted before the close was known finds the window closed.
    ASSERT_TRUE(WaitUntil([&] { return previewer.Closed(); }));
    EXPECT_FALSE(previewer.ShowPicture(first, 4, 6000000))
        << "no pictures after the user closed the window";
    int windows = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        windows += w->objectName() == "frmPreview" ? 1 : 0;
    }
    EXPECT_EQ(windows, 1) << "no second window";
    SetPreviewWindowFactory(nullptr);
}

TEST_F(ShellFixture, FormatPickerOfADialogOpensBelowAndKeepsItsChoice) {
    TSettings settings(dir.File("settings.ini"), dir.File("out"));
    TFormatTable table;
    TDeviceList devices;
    QWidget host;
    host.resize(420, 420);
    TFormatPicker picker(devices, table, settings, TPickerMode::KeepChoice, &host, &host);
    picker.setGeometry(10, 10, 360, 26);
    host.show();
    picker.Rebuild();
    EXPECT_EQ(picker.FormatBox()->text(), "iPod Video H.264 (*.mp4)");
    std::optional<std::pair<int, QString>> chosen;
    QObject::connect(&picker, &TFormatPicker::formatChosen, &host,
                     [&](int code, const QString& name) { chosen.emplace(code, name); });
    QTest::mouseClick(picker.DropButton(), Qt::LeftButton);
    ASSERT_TRUE(picker.ListShown());
    const QRect list = picker.List()->geometry();
    EXPECT_EQ(list.top(),
              picker.FormatBox()->mapTo(&host, QPoint(0, 0)).y() + picker.FormatBox()->height() - 1)
        << "opens just below the box";
    EXPECT_EQ(list.height(), 247);
    picker.List()->Toggle(2);
    QTest::mouseClick(picker.List()->viewport(), Qt::LeftButton, {},
                      QPoint(80, picker.List()->RowRect(8).center().y()));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->first, 205);
    EXPECT_EQ(chosen->second, "Apple H.264 720p (1280 x 720) (*.mp4)");
    EXPECT_EQ(picker.FormatBox()->text(), chosen->second);
    EXPECT_FALSE(picker.ListShown());
    EXPECT_FALSE(std::filesystem::exists(dir.File("settings.ini")))
        << "a dialog's choice is not stored until the dialog says so";
}

TEST_F(ShellFixture, DeviceListOfTheMainWindowOpensDownwardsWhenThereIsRoomBelow) {
    TSettings settings(dir.File("settings.ini"), dir.File("out"));
    TFormatTable table;
    TDeviceList devices;
    QWidget host;
    host.resize(480, 600);
    TFormatPicker picker(devices, table, settings, TPickerMode::StoreAtOnce, &host, &host);
    picker.setGeometry(10, 10, 360, 26);
    host.show();
    picker.Rebuild();
    const auto boxTop = [&] { return picker.FormatBox()->mapTo(&host, QPoint(0, 0)); };
    const auto buttonBottom = [&] {
        const QToolButton* button = picker.DropButton();
        return button->mapTo(&host, QPoint(0, button->height())).y();
    };

    QTest::mouseClick(picker.DropButton(), Qt::LeftButton);
    ASSERT_TRUE(picker.ListShown());
    QRect list = picker.List()->geometry();
    EXPECT_EQ(list.top(), boxTop().y() + picker.FormatBox()->height() - 1) << "below the box";
    EXPECT_GE(list.top(), buttonBottom() - 1) << "and below its button";
    EXPECT_EQ(list.left(), boxTop().x());
    EXPECT_GE(list.height(), 200) << "all 25 groups, or nearly";
    EXPECT_LE(list.bottom(), host.height());
    // The window grows with the list open: the list keeps to the box and its button.
    picker.resize(440, 26);
    QApplication::processEvents();
    const QToolButton* button = picker.DropButton();
    EXPECT_EQ(picker.List()->geometry().right(),
              button->mapTo(&host, QPoint(0, 0)).x() + button->width() - 1);
    QTest::mouseClick(picker.DropButton(), Qt::LeftButton);
    ASSERT_FALSE(picker.ListShown());

    // Near the bottom of its window there is no room below: it opens upwards from the box.
    picker.move(10, 560);
    QTest::mouseClick(picker.DropButton(), Qt::LeftButton);
    ASSERT_TRUE(picker.ListShown());
    list = picker.List()->geometry();
    EXPECT_EQ(list.top() + list.height(), boxTop().y() - 1) << "its bottom edge above the box";
    EXPECT_GE(list.top(), 0);
    EXPECT_GE(list.height(), 200);
}
