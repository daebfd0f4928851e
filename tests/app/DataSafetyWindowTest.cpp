// The main window's part in keeping files safe: start-up warnings shown, names that are not
// UTF-8 taken from the command line and from drops, signals that end a batch.
#include "VantreApp.h"
#include "WinMain.h"

#include "BatchRun.h"
#include "GlobalObject.h"
#include "GuiTestHelpers.h"
#include "JobList.h"
#include "JobListView.h"
#include "MainWindowUi.h"
#include "MediaFiles.h"
#include "RecordingShell.h"
#include "SignalWatcher.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

using gui_test::SharedClips;
using gui_test::WaitUntil;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

struct DataSafetyWindow : ::testing::Test {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    std::unique_ptr<TVantreApp> vantre;
    std::unique_ptr<TfrmMain> window;

    void SetUp() override { testing_support::RequireEncoderLibraries(); }
    void Open() {
        vantre = std::make_unique<TVantreApp>(TUserPlaces{home.Path(), ""}, "");
        window = std::make_unique<TfrmMain>(*vantre);
        window->show();
    }
    void TearDown() override { window.reset(); }
};

} // namespace

TEST_F(DataSafetyWindow, DamagedCatalogWarningIsShownAtStart) {
    const std::string catalog = TGlobalObject(TUserPlaces{home.Path(), ""}).CatalogFile();
    fs::create_directories(fs::path(catalog).parent_path());
    std::ofstream(catalog) << "[catalog]\nVersion=2\n[formatInfo0]\nFormat=ipod\n";
    Open();
    ASSERT_TRUE(WaitUntil([&] { return !shell.messages.empty(); }));
    const std::string expected = "The format catalog " + catalog + " is damaged (";
    EXPECT_EQ(shell.messages[0].text.rfind(expected, 0), 0u) << shell.messages[0].text;
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_TRUE(window->Ui().mmoLog->toPlainText().startsWith(QString::fromStdString(expected)));
}

// A name that is not UTF-8, given on the command line or dropped, is added byte for byte and
// converts.
TEST_F(DataSafetyWindow, NamesThatAreNotUtf8AreAddedAndConverted) {
    Open();
    const std::string given = home.File("clip\xff\xfe.avi");
    const std::string dropped = home.File("drop\xe9.avi");
    fs::copy_file(SharedClips().holiday, given);
    fs::copy_file(SharedClips().holiday, dropped);
    const std::string argv0 = "vantre";
    const char* argv[] = {argv0.c_str(), given.c_str()};
    const std::vector<std::string> paths = mediafiles::CommandLinePaths(2, argv);
    EXPECT_EQ(paths, std::vector<std::string>{given});
    window->AddFiles(mediafiles::ExpandDropped(paths));
    ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    ASSERT_EQ(window->Model().Jobs().Count(), 1);
    EXPECT_EQ(window->Model().Jobs().Record(0).SourceFile, given);

    QMimeData data;
    data.setData("text/uri-list", QByteArray("file://") + QByteArray::fromStdString(home.Path()) +
                                      "/drop%E9.avi\r\n");
    QWidget* viewport = window->Ui().lvFiles->viewport();
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);
    ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    ASSERT_EQ(window->Model().Jobs().Count(), 2);
    EXPECT_EQ(window->Model().Jobs().Record(1).SourceFile, dropped);

    window->Model().Settings().SetOutputDir(home.File("out"));
    window->Model().Settings().SetFormat("MPEG-4 Video (*.mp4)", 2302);
    window->Ui().btnStart->click();
    ASSERT_TRUE(WaitUntil([&] { return !window->BatchRun().Running(); }, 120000));
    ASSERT_EQ(window->BatchRun().Jobs().size(), 2u);
    for (const TBatchJob& job : window->BatchRun().Jobs()) {
        EXPECT_EQ(job.Outcome, TJobOutcome::Converted) << job.Error;
        EXPECT_GT(fs::file_size(job.OutputFile), 1000u);
    }
    EXPECT_EQ(window->BatchRun().Jobs()[0].OutputFile, home.File("out/clip\xff\xfe_(new).mp4"));
}

// SIGTERM reaches the window through the watcher: the batch under way stops, its outputs go
// and the window closes; the row under way and the one that never started say "Interrupted".
TEST_F(DataSafetyWindow, TerminateSignalEndsTheBatchAndRemovesItsOutputs) {
    Open();
    const std::string source = home.File("long.mp4");
    testing_support::MakeClip(source, 30, 320, 240, 25, 44100, "-c:v libx264 -c:a aac");
    const std::string waiting = home.File("waiting.mp4");
    fs::copy_file(source, waiting);
    window->AddFiles({source, waiting});
    ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    ASSERT_EQ(window->Model().Jobs().Count(), 2);
    window->Model().Settings().SetOutputDir(home.File("out"));
    window->Model().Settings().SetFormat("Apple H.264 720p (1280 x 720) (*.mp4)", 205);
    window->Model().Settings().SetConversionsAtOnce(1);

    TSignalWatcher watcher;
    QSignalSpy arrived(&watcher, &TSignalWatcher::arrived);
    QObject::connect(&watcher, &TSignalWatcher::arrived, window.get(),
                     [this](int signal) { window->EndBySignal(signal); });
    window->Ui().btnStart->click();
    ASSERT_TRUE(window->BatchRun().Running());
    // The task has begun to write its unfinished file.
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::error_code ec;
            for (const auto& entry : fs::directory_iterator(home.File("out"), ec)) {
                if (entry.path().string().find(".unfinished-") != std::string::npos &&
                    fs::file_size(entry.path(), ec) > 0 && !ec) {
                    return true;
                }
            }
            return false;
        },
        60000));
    ::raise(SIGTERM);
    ASSERT_TRUE(WaitUntil([&] { return arrived.count() == 1 && !window->isVisible(); }));
    EXPECT_EQ(arrived[0][0].toInt(), SIGTERM);
    EXPECT_FALSE(window->BatchRun().Running());
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(window->BatchRun().Jobs()[static_cast<size_t>(row)].Outcome,
                  TJobOutcome::Interrupted)
            << row;
        EXPECT_EQ(window->Model().Jobs().Cell(row, TJobColumn::Progress), "Interrupted") << row;
    }
    EXPECT_TRUE(fs::is_empty(home.File("out")));
}
