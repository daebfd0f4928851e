// Start through the real main window: the checked rows convert with the encoder component
// while the progress window shows them; cancel, the after-conversion actions, failures, the
// snapshot button, the hidden batch buttons and the responsiveness of the event loop.
#include "VantreApp.h"
#include "WinMain.h"

#include "BatchMessages.h"
#include "BatchRun.h"
#include "BatchTestSupport.h"
#include "FittedPictureView.h"
#include "GuiTestHelpers.h"
#include "JobListDelegate.h"
#include "JobListModel.h"
#include "JobListView.h"
#include "MainPreview.h"
#include "ProgressWindowModel.h"
#include "RecordingShell.h"
#include "WinProgress.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

using gui_test::Child;
using gui_test::WaitUntil;
using testing_support::ProbeEntry;
using testing_support::TempDir;

namespace {

// Clips of the batch tests, made once for the program.
struct BatchClips {
    TempDir dir;
    // Long enough that a cancel at the first picture finds the conversion under way.
    std::string longer = dir.File("longer.mp4");
    // Enough work for the responsiveness figures.
    std::string busy = dir.File("busy.mp4");
    // A sound the resampler refuses: the task fails while converting.
    std::string hundredChannels = batch_test::HundredChannelWav();
    BatchClips() {
        testing_support::MakeClip(longer, 8, 64, 48, 25, 0, "-c:v mpeg4");
        testing_support::MakeClip(busy, 6, 320, 240, 25, 44100, "-c:v mpeg4 -c:a aac");
    }
};

const BatchClips& SharedBatchClips() {
    static const BatchClips clips;
    return clips;
}

// Told of the batch's events, for tests that act at a known point of a conversion. Events
// come on the main thread while the conversion thread waits for them.
struct BatchSpy : IBatchListener {
    explicit BatchSpy(TBatchRun& run) : run_(run) { run_.AddListener(*this); }
    ~BatchSpy() override { run_.RemoveListener(*this); }

    std::function<void()> onFirstPreview;
    std::function<void(const TProgressInfo&)> onProgress;
    int previews = 0;
    int reports = 0;
    int ends = 0;
    bool stopped = false;
    std::vector<QString> titles;

    void BatchProgress(const TProgressInfo& info) override {
        ++reports;
        if (onProgress) {
            onProgress(info);
        }
    }
    void BatchPreviewFrame() override {
        if (previews++ == 0 && onFirstPreview) {
            onFirstPreview();
        }
    }
    void BatchEnded(bool wasStopped) override {
        ++ends;
        stopped = wasStopped;
    }

private:
    TBatchRun& run_;
};

// The longest time between two ticks of a short timer on the main thread: how long the event
// loop was kept from running.
class LoopGaps : public QObject {
public:
    LoopGaps() {
        timer_.setInterval(2);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    }
    void Start() {
        worst_ = 0;
        ticks_ = 0;
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    // Counts from now, without stopping the timer.
    void Restart() {
        worst_ = 0;
        ticks_ = 0;
        last_ = clock_.nsecsElapsed();
    }
    void Stop() {
        Tick();
        timer_.stop();
    }
    double WorstMs() const { return worst_ / 1e6; }
    int Ticks() const { return ticks_; }

private:
    void Tick() {
        const qint64 now = clock_.nsecsElapsed();
        worst_ = std::max(worst_, now - last_);
        last_ = now;
        ++ticks_;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 worst_ = 0;
    int ticks_ = 0;
};

struct BatchWindowFixture : ::testing::Test {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    std::unique_ptr<TVantreApp> vantre;
    std::unique_ptr<TfrmMain> window;
    const gui_test::Clips& clips = gui_test::SharedClips();
    const BatchClips& batchClips = SharedBatchClips();

    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        vantre = std::make_unique<TVantreApp>(TUserPlaces{home.Path(), ""}, "");
        window = std::make_unique<TfrmMain>(*vantre);
        window->show();
        // MPEG-4 Video: quick to encode.
        Settings().SetFormat("MPEG-4 Video (*.mp4)", 2302);
        // One at a time unless a test says otherwise: most follow the order tasks end in.
        Settings().SetConversionsAtOnce(1);
        Settings().SetSnapOutputDir(home.File("snap"));
    }
    void TearDown() override { window.reset(); }

    const TMainWindowUi& Ui() const { return window->Ui(); }
    TJobList& Jobs() { return window->Model().Jobs(); }
    TSettings& Settings() { return window->Model().Settings(); }
    TJobListModel& JobModel() { return Ui().lvFiles->Model(); }
    QString ProgressCell(int row) {
        return JobModel().index(row, 4).data(Qt::DisplayRole).toString();
    }
    QString ProgressTip(int row) {
        return JobModel().index(row, 4).data(Qt::ToolTipRole).toString();
    }
    TfrmProgress* Progress() { return window->ProgressWindow(); }
    template <typename T> T* InProgress(const char* name) { return Child<T>(*Progress(), name); }

    void Add(const std::vector<std::string>& paths) {
        window->AddFiles(paths);
        ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
        ASSERT_EQ(Jobs().Count(), static_cast<int>(paths.size()));
    }
    std::vector<std::string> Copies(const std::string& clip, int count, const std::string& name) {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(
                clips.CopyAs(clip, home.File(name + std::to_string(i) +
                                             std::filesystem::path(clip).extension().string())));
        }
        return paths;
    }
    void ClickCheckBox(int row) {
        const QRect cell = Ui().lvFiles->visualRect(JobModel().index(row, 0));
        QTest::mouseClick(Ui().lvFiles->viewport(), Qt::LeftButton, {},
                          TJobListDelegate::CheckBoxRect(cell).center());
    }
    void ClickToolButton(QAction* action) {
        QTest::mouseClick(Ui().tlbMain->widgetForAction(action), Qt::LeftButton);
    }
    // Waits until the batch has ended and the progress window has gone.
    bool WaitForBatchEnd() {
        return WaitUntil([&] { return !window->BatchRun().Running() && !Progress()->isVisible(); },
                         120000);
    }
    // The main window's commands as the batch leaves them.
    void ExpectIdleButtons() {
        EXPECT_TRUE(Ui().tbAdd->isEnabled());
        EXPECT_TRUE(Ui().tbRemove->isEnabled());
        EXPECT_TRUE(Ui().tbClear->isEnabled());
        EXPECT_TRUE(Ui().tbStart->isEnabled());
        EXPECT_TRUE(Ui().btnStart->isEnabled());
        EXPECT_FALSE(Ui().btnBatchStop->isEnabled());
        EXPECT_FALSE(Ui().btnBatchPause->isEnabled());
        EXPECT_FALSE(Ui().btnBatchResume->isEnabled());
    }
};

} // namespace

TEST_F(BatchWindowFixture, ThreeCheckedRowsOfFiveConvertInListOrderFromTheToolBar) {
    Add(Copies(clips.holiday, 5, "row"));
    ClickCheckBox(0);
    ClickCheckBox(3);
    // The order in which rows reach "100%", and what the window showed meanwhile.
    std::vector<int> finished;
    QObject::connect(
        &JobModel(), &QAbstractItemModel::dataChanged, window.get(), [&](const QModelIndex& from) {
            if (ProgressCell(from.row()) == "100%" &&
                std::find(finished.begin(), finished.end(), from.row()) == finished.end()) {
                finished.push_back(from.row());
            }
        });
    BatchSpy spy(window->BatchRun());
    bool busyWhileRunning = false;
    spy.onProgress = [&](const TProgressInfo&) {
        spy.titles.push_back(Progress()->windowTitle());
        busyWhileRunning = !Ui().tbAdd->isEnabled() && !Ui().tbStart->isEnabled() &&
                           Ui().btnBatchStop->isEnabled() && Ui().btnBatchPause->isEnabled();
    };

    ClickToolButton(Ui().tbStart);
    ASSERT_NE(Progress(), nullptr);
    EXPECT_TRUE(Progress()->isVisible());
    EXPECT_EQ(Progress()->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(window->BatchRun().TaskRows(), (std::vector<int>{1, 2, 4}));
    ASSERT_TRUE(WaitForBatchEnd());

    EXPECT_EQ(finished, (std::vector<int>{1, 2, 4}));
    for (int row : {1, 2, 4}) {
        EXPECT_EQ(ProgressCell(row), "100%") << row;
    }
    for (const TBatchJob& job : window->BatchRun().Jobs()) {
        EXPECT_EQ(ProbeEntry(job.OutputFile, "v:0", "stream=codec_name"), "mpeg4")
            << job.OutputFile;
    }
    EXPECT_EQ(ProgressCell(0), "");
    EXPECT_EQ(ProgressCell(3), "");
    EXPECT_FALSE(spy.stopped);
    EXPECT_GT(spy.reports, 0);
    EXPECT_TRUE(busyWhileRunning);
    ASSERT_FALSE(spy.titles.empty());
    for (const QString& title : spy.titles) {
        EXPECT_TRUE(title.startsWith("Progress - ") && title.endsWith("%")) << title.toStdString();
    }
    // The folder opens once, after the last task; nothing shuts down.
    EXPECT_EQ(shell.opened, std::vector<std::string>{Settings().OutputDir()});
    EXPECT_EQ(shell.shutDowns, 0);
    EXPECT_TRUE(shell.messages.empty());
    ExpectIdleButtons();
    EXPECT_EQ(Progress()->windowTitle(), "Progress");
}

TEST_F(BatchWindowFixture, NoCheckedRowWarnsKeepsThePreviewAndShowsNoProgressWindow) {
    Add({clips.holiday});
    Ui().imgbtnPlay->click();
    ASSERT_TRUE(window->Preview().State().Playing());
    ClickCheckBox(0);
    QTest::mouseClick(Ui().btnStart, Qt::LeftButton);
    EXPECT_TRUE(window->Preview().State().Playing()) << "nothing to convert: the preview goes on";
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "Please select a file by clicking the check box!");
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_EQ(Progress(), nullptr);
    EXPECT_FALSE(window->BatchRun().Prepared());
}

TEST_F(BatchWindowFixture, CancelDuringTheFirstOfTwoTasksLeavesNoTraceOfSuccess) {
    Add(Copies(batchClips.longer, 2, "long"));
    BatchSpy spy(window->BatchRun());
    // The first picture of the first task: the conversion thread waits for this handler, so
    // the stop reaches it long before the end of the file.
    bool pausedState = false;
    spy.onFirstPreview = [&] {
        QTest::mouseClick(InProgress<QCheckBox>("ckShutDown"), Qt::LeftButton);
        QTest::mouseClick(InProgress<QPushButton>("btnPause"), Qt::LeftButton);
        pausedState = !InProgress<QPushButton>("btnPause")->isEnabled() &&
                      InProgress<QPushButton>("btnResume")->isEnabled() &&
                      !Ui().btnBatchPause->isEnabled() && Ui().btnBatchResume->isEnabled();
        QTest::mouseClick(InProgress<QPushButton>("btnCancel"), Qt::LeftButton);
    };

    QTest::mouseClick(Ui().btnStart, Qt::LeftButton);
    ASSERT_NE(Progress(), nullptr);
    ASSERT_TRUE(WaitForBatchEnd());

    EXPECT_TRUE(pausedState) << "Pause switches both windows' Pause and Resume";
    EXPECT_TRUE(InProgress<QCheckBox>("ckShutDown")->isChecked());
    EXPECT_TRUE(spy.stopped);
    EXPECT_EQ(ProgressCell(0), "Stopped");
    EXPECT_EQ(ProgressCell(1), "Stopped");
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_EQ(shell.shutDowns, 0);
    ExpectIdleButtons();
}

TEST_F(BatchWindowFixture, TheFileMenusStartStopsThePreviewOpensTheFolderAndShutsDown) {
    Add({clips.beach});
    Ui().imgbtnPlay->click();
    ASSERT_TRUE(window->Preview().State().Playing());
    BatchSpy spy(window->BatchRun());
    spy.onFirstPreview = [&] {
        QTest::mouseClick(InProgress<QCheckBox>("ckShutDown"), Qt::LeftButton);
    };
    Ui().mnuFile->popup(window->mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(WaitUntil([&] { return Ui().mnuFile->isVisible(); }));
    QTest::mouseClick(Ui().mnuFile, Qt::LeftButton, {},
                      Ui().mnuFile->actionGeometry(Ui().mniStart).center());
    ASSERT_NE(Progress(), nullptr);
    EXPECT_TRUE(window->Preview().State().Stopped()) << "Start takes the file from the preview";
    EXPECT_TRUE(InProgress<QCheckBox>("ckOpen")->isChecked()) << "checked at every showing";
    ASSERT_TRUE(WaitForBatchEnd());

    EXPECT_EQ(ProgressCell(0), "100%");
    EXPECT_EQ(shell.opened, std::vector<std::string>{Settings().OutputDir()});
    EXPECT_EQ(shell.shutDowns, 1);
    EXPECT_EQ(ProbeEntry(window->BatchRun().Jobs()[0].OutputFile, "a:0", "stream=codec_name"),
              "aac");

    // Unchecked by the person, the next batch opens nothing; the shut-down box stays as left.
    spy.onFirstPreview = [&] {
        QTest::mouseClick(InProgress<QCheckBox>("ckOpen"), Qt::LeftButton);
    };
    spy.previews = 0;
    ClickToolButton(Ui().tbStart);
    EXPECT_TRUE(InProgress<QCheckBox>("ckOpen")->isChecked());
    EXPECT_TRUE(InProgress<QCheckBox>("ckShutDown")->isChecked());
    ASSERT_TRUE(WaitForBatchEnd());
    EXPECT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.shutDowns, 2);
}

TEST_F(BatchWindowFixture, AFailingJobAmongGoodOnesSaysFailedWithTheEnginesText) {
    Add({clips.holiday, batchClips.hundredChannels, clips.beach});
    const QPoint at = Ui().lvFiles->visualRect(JobModel().index(0, 0)).center();
    window->ShowPopup(Ui().lvFiles->viewport()->mapToGlobal(at));
    ASSERT_TRUE(WaitUntil([&] { return Ui().pmnJobs->isVisible(); }));
    ASSERT_TRUE(Ui().pmiStart->isEnabled());
    QTest::mouseClick(Ui().pmnJobs, Qt::LeftButton, {},
                      Ui().pmnJobs->actionGeometry(Ui().pmiStart).center());
    ASSERT_NE(Progress(), nullptr);
    ASSERT_TRUE(WaitForBatchEnd());

    EXPECT_EQ(ProgressCell(0), "100%");
    EXPECT_EQ(ProgressCell(2), "100%");
    EXPECT_EQ(ProgressCell(1), "Failed");
    const QString error = ProgressTip(1);
    EXPECT_TRUE(error.contains("Can not resample 100 channels")) << error.toStdString();
    EXPECT_EQ(ProgressTip(0), "") << "no tooltip on a converted row";
    // The hidden log holds the same text with the file it belongs to.
    EXPECT_TRUE(Ui().mmoLog->toPlainText().contains(
        QString::fromStdString(batchClips.hundredChannels) + ": " + error))
        << Ui().mmoLog->toPlainText().toStdString();
    EXPECT_FALSE(Ui().mmoLog->isVisible());
    // The last task converted: the folder opens.
    EXPECT_EQ(shell.opened.size(), 1u);
}

TEST_F(BatchWindowFixture, TheProgressWindowShowsThePreviewFiguresAndWritesSnapshots) {
    Add({batchClips.longer});
    window->Vazmo().SetProgressInterval(100);
    BatchSpy spy(window->BatchRun());
    // Paused once a picture and a report have come, the window can be looked at without a race.
    bool pausedOnce = false;
    auto pauseWhenBoth = [&] {
        if (!pausedOnce && spy.previews > 0 && spy.reports > 0) {
            pausedOnce = true;
            Ui().btnBatchPause->click();
        }
    };
    spy.onFirstPreview = pauseWhenBoth;
    spy.onProgress = [&](const TProgressInfo&) { pauseWhenBoth(); };
    ClickToolButton(Ui().tbStart);
    ASSERT_NE(Progress(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return window->BatchRun().Paused(); }));
    EXPECT_FALSE(InProgress<QPushButton>("btnPause")->isEnabled())
        << "the main window's Pause acts on the progress window too";
    EXPECT_TRUE(InProgress<QPushButton>("btnResume")->isEnabled());

    // Controls and captions.
    EXPECT_GE(Progress()->width(), 420);
    EXPECT_GE(Progress()->height(), 460);
    EXPECT_EQ(Progress()->Preview()->size(), QSize(372, 210));
    EXPECT_EQ(InProgress<QPushButton>("btnPause")->text(), "Pause");
    EXPECT_EQ(InProgress<QPushButton>("btnResume")->text(), "Resume");
    EXPECT_EQ(InProgress<QPushButton>("btnCancel")->text(), "Cancel");
    EXPECT_EQ(InProgress<QCheckBox>("ckOpen")->text(), "Open the output folder after conversion");
    EXPECT_EQ(InProgress<QCheckBox>("ckShutDown")->text(), "Shut down computer after conversion");
    EXPECT_EQ(InProgress<QToolButton>("imgbtnSnap")->toolTip(), "Save snapshot picture");
    const std::pair<const char*, const char*> captions[] = {
        {"lblTimeCaption", "Current Time:"},
        {"lblSizeCaption", "File Size:"},
        {"lblLengthCaption", "Length:"},
        {"lblProgressCaption", "Progress:"},
        {"lblOutputCaption", "File:"},
        {"lblRemainingCaption", "Remaining:"},
        {"lblBatchRemainingCaption", "All files:"}};
    for (const auto& [name, text] : captions) {
        EXPECT_EQ(InProgress<QLabel>(name)->text(), text) << name;
    }

    // The 100 ms timer paints the picture fitted into the area: 4:3 takes the whole height
    // and leaves margins of the background colour left and right.
    const QColor background(166, 203, 240);
    ASSERT_TRUE(WaitUntil([&] {
        const QImage shown = Progress()->Preview()->grab().toImage();
        return shown.pixelColor(186, 105) != background;
    }));
    const QImage shown = Progress()->Preview()->grab().toImage();
    EXPECT_EQ(shown.pixelColor(10, 105), background);
    EXPECT_EQ(shown.pixelColor(361, 105), background);
    EXPECT_EQ(InProgress<QLabel>("lblOutput")->text().toStdString(),
              TBatchProgress::ShortFileName(batchClips.longer));
    EXPECT_EQ(InProgress<QLabel>("lblProgress")->text(), "[1/1]");
    EXPECT_EQ(InProgress<QLabel>("lblLength")->text(), "8 Second");
    EXPECT_TRUE(
        QRegularExpression("^\\d Second$").match(InProgress<QLabel>("lblTime")->text()).hasMatch());
    // The estimates, counted down by the timer, and the batch's share in the title.
    const QRegularExpression clock("^\\d\\d:\\d\\d:\\d\\d$");
    EXPECT_TRUE(clock.match(InProgress<QLabel>("lblRemaining")->text()).hasMatch())
        << InProgress<QLabel>("lblRemaining")->text().toStdString();
    EXPECT_TRUE(clock.match(InProgress<QLabel>("lblBatchRemaining")->text()).hasMatch());
    EXPECT_EQ(Progress()->windowTitle(),
              QString("Progress - %1%").arg(window->BatchRun().Progress().OverallPercent()));

    // The snapshot: the decoded picture and the preview area as it is shown.
    QTest::mouseClick(InProgress<QToolButton>("imgbtnSnap"), Qt::LeftButton);
    const TBitmap24& frame = window->BatchRun().PreviewFrame();
    ASSERT_FALSE(frame.Empty());
    EXPECT_EQ(testing_support::ProbeEntries(home.File("snap/Snapshot_full.bmp"), "v:0",
                                            "stream=width,height"),
              std::to_string(frame.Width()) + "\n" + std::to_string(frame.Height()));
    EXPECT_EQ(testing_support::ProbeEntries(home.File("snap/Snapshot_small.jpg"), "v:0",
                                            "stream=width,height"),
              "372\n210");
    EXPECT_TRUE(std::filesystem::exists(home.File("snap/Snapshot_small.bmp")));
    EXPECT_TRUE(std::filesystem::exists(home.File("snap/Snapshot_full.jpg")));

    QTest::mouseClick(InProgress<QPushButton>("btnResume"), Qt::LeftButton);
    EXPECT_TRUE(Ui().btnBatchPause->isEnabled());
    EXPECT_FALSE(Ui().btnBatchResume->isEnabled());
    ASSERT_TRUE(WaitForBatchEnd());
    EXPECT_EQ(ProgressCell(0), "100%");
    EXPECT_EQ(InProgress<QProgressBar>("progbarFile")->value(), 100);
    EXPECT_EQ(InProgress<QLabel>("lblProgress")->text(), "[1/1]");
    EXPECT_EQ(InProgress<QLabel>("lblLength")->text(), "8 Second");
}

TEST_F(BatchWindowFixture, ClosingTheProgressWindowStopsWithoutWaitingAndTheHiddenStopCancels) {
    Add(Copies(batchClips.longer, 2, "close"));
    BatchSpy spy(window->BatchRun());
    // Paused at the first picture, then closed from the event loop: closing returns at once,
    // the window stays until the conversions have stopped, and the end closes it.
    bool stillRunningAfterClose = false;
    spy.onFirstPreview = [&] {
        Ui().btnBatchPause->click();
        QTimer::singleShot(0, window.get(), [&] {
            Progress()->close();
            stillRunningAfterClose = Progress()->isVisible() && spy.ends == 0;
        });
    };
    ClickToolButton(Ui().tbStart);
    ASSERT_TRUE(WaitForBatchEnd());
    EXPECT_TRUE(stillRunningAfterClose);
    EXPECT_EQ(spy.ends, 1);
    EXPECT_EQ(ProgressCell(0), "Stopped");
    EXPECT_EQ(ProgressCell(1), "Stopped");
    EXPECT_TRUE(shell.opened.empty());

    // Closed inside the picture's notice: the same.
    spy.previews = 0;
    bool stillShown = false;
    spy.onFirstPreview = [&] {
        Progress()->close();
        stillShown = Progress()->isVisible();
    };
    ClickToolButton(Ui().tbStart);
    ASSERT_TRUE(WaitForBatchEnd());
    EXPECT_TRUE(stillShown);
    EXPECT_EQ(spy.ends, 2);
    EXPECT_EQ(ProgressCell(0), "Stopped");

    // The main window's hidden Stop: the batch ends and closes the progress window.
    spy.previews = 0;
    spy.onFirstPreview = [&] { Ui().btnBatchStop->click(); };
    ClickToolButton(Ui().tbStart);
    EXPECT_TRUE(Ui().btnBatchStop->isEnabled());
    ASSERT_TRUE(WaitForBatchEnd());
    EXPECT_EQ(spy.ends, 3);
    EXPECT_TRUE(spy.stopped);
    EXPECT_EQ(ProgressCell(0), "Stopped");
    EXPECT_EQ(ProgressCell(1), "Stopped");
    ExpectIdleButtons();
}

TEST_F(BatchWindowFixture, TheEventLoopKeepsRunningWhileConvertingAndCancelling) {
    Add(Copies(batchClips.busy, 2, "busy"));
    window->Vazmo().SetProgressInterval(100);
    LoopGaps gaps;
    BatchSpy spy(window->BatchRun());
    double converting = -1;
    int convertingTicks = 0;
    spy.onProgress = [&](const TProgressInfo& info) {
        if (info.TaskIndex == 0 && info.TotalDuration > 0 &&
            info.CurrentDuration * 2 >= info.TotalDuration && converting < 0) {
            converting = gaps.WorstMs();
            convertingTicks = gaps.Ticks();
            gaps.Restart();
            QTest::mouseClick(InProgress<QPushButton>("btnCancel"), Qt::LeftButton);
        }
    };
    QElapsedTimer startClick;
    startClick.start();
    ClickToolButton(Ui().tbStart);
    const double startMs = startClick.nsecsElapsed() / 1e6;
    gaps.Start();
    ASSERT_TRUE(WaitForBatchEnd());
    gaps.Stop();
    ASSERT_GE(converting, 0) << "cancelled half-way through the first file";
    EXPECT_EQ(ProgressCell(0), "Stopped");
    std::printf("Start click (tasks made on the main thread): %.1f ms\n"
                "event loop while converting: %d ticks, longest gap %.1f ms\n"
                "event loop while cancelling: %d ticks, longest gap %.1f ms\n",
                startMs, convertingTicks, converting, gaps.Ticks(), gaps.WorstMs());
    RecordProperty("ConvertingGapMs", static_cast<int>(converting));
    RecordProperty("CancellingGapMs", static_cast<int>(gaps.WorstMs()));
    // The loop must never wait for a conversion or a cancel; the tighter figures of a quiet
    // machine are measured by tools/batch_latency, not here where other tests share the cores.
    EXPECT_GT(convertingTicks, 10);
    EXPECT_LT(converting, 250);
    EXPECT_LT(gaps.WorstMs(), 250);
}

TEST_F(BatchWindowFixture, FileSizeFollowsTheFileBeingWritten) {
    Add({batchClips.busy});
    window->Vazmo().SetProgressInterval(100);
    BatchSpy spy(window->BatchRun());
    // Paused twice as the file grows (the muxer writes it in blocks), the file and the figure
    // hold still while compared.
    std::uintmax_t pausedAt = 0;
    int pauses = 0;
    spy.onProgress = [&](const TProgressInfo&) {
        std::error_code ec;
        const std::uintmax_t size =
            std::filesystem::file_size(window->BatchRun().Progress().WritingPath(), ec);
        if (!ec && pauses < 2 && !window->BatchRun().Paused() &&
            size >= std::max<std::uintmax_t>(20000, pausedAt + 1)) {
            pausedAt = size;
            ++pauses;
            Ui().btnBatchPause->click();
        }
    };
    ClickToolButton(Ui().tbStart);
    ASSERT_NE(Progress(), nullptr);
    std::vector<long long> shown;
    for (int pause = 0; pause < 2; ++pause) {
        ASSERT_TRUE(WaitUntil([&] { return window->BatchRun().Paused(); }, 60000));
        const std::string& written = window->BatchRun().Progress().WritingPath();
        ASSERT_NE(written.find(".unfinished-"), std::string::npos) << written;
        // The worker may still finish the block it was writing when the pause came; the
        // window's ticks catch the figure up with the file.
        long long kb = -1;
        long long size = -1;
        const auto agree = [&] {
            const QString text = InProgress<QLabel>("lblSize")->text();
            const QRegularExpressionMatch figure = QRegularExpression("^(\\d+) kb$").match(text);
            kb = figure.hasMatch() ? figure.captured(1).toLongLong() : -1;
            size = static_cast<long long>(std::filesystem::file_size(written));
            return kb > 0 && std::llabs(kb * 1000 - size) <= 32 * 1024;
        };
        EXPECT_TRUE(WaitUntil(agree, 5000)) << kb << " kb against " << size;
        shown.push_back(kb);
        Ui().btnBatchResume->click();
    }
    EXPECT_GT(shown[1], shown[0]) << "the figure grows with the file";
    ASSERT_TRUE(WaitForBatchEnd());
}

TEST_F(BatchWindowFixture, TwoAtOnceAreListedPausedResumedAndCancelledTogether) {
    Settings().SetConversionsAtOnce(2);
    Add(Copies(batchClips.busy, 4, "pair"));
    window->Vazmo().SetProgressInterval(100);
    BatchSpy spy(window->BatchRun());
    QListWidget* list = nullptr;
    QStringList listed;
    bool resumed = false;
    bool cancelled = false;
    spy.onProgress = [&](const TProgressInfo&) {
        list = InProgress<QListWidget>("lstRunning");
        // The first moment both run: the window lists them, and Pause holds both.
        if (listed.isEmpty() && list->isVisible() && list->count() == 2) {
            for (int i = 0; i < list->count(); ++i) {
                listed << list->item(i)->text();
            }
            QTest::mouseClick(InProgress<QPushButton>("btnPause"), Qt::LeftButton);
        } else if (resumed && !cancelled) {
            cancelled = true;
            QTest::mouseClick(InProgress<QPushButton>("btnCancel"), Qt::LeftButton);
        }
    };
    ClickToolButton(Ui().tbStart);
    ASSERT_TRUE(
        WaitUntil([&] { return !listed.isEmpty() || !window->BatchRun().Running(); }, 120000));
    ASSERT_EQ(listed.size(), 2) << "two conversions never ran at once";
    // The first two rows of the list, whichever reported first.
    const QString lines = listed.join("\n");
    EXPECT_TRUE(lines.contains("pair0.mp4   ")) << lines.toStdString();
    EXPECT_TRUE(lines.contains("pair1.mp4   ")) << lines.toStdString();
    EXPECT_TRUE(listed[0].contains("%")) << listed[0].toStdString();
    EXPECT_EQ(window->BatchRun().ConversionsAtOnce(), 2);
    EXPECT_TRUE(InProgress<QPushButton>("btnResume")->isEnabled());

    // Paused: reports already on their way may still land; after that nothing moves.
    QTest::qWait(300);
    const int reports = spy.reports;
    const QString cells[] = {ProgressCell(0), ProgressCell(1)};
    QTest::qWait(1000);
    EXPECT_EQ(spy.reports, reports) << "a paused conversion reported progress";
    EXPECT_EQ(ProgressCell(0), cells[0]);
    EXPECT_EQ(ProgressCell(1), cells[1]);
    EXPECT_EQ(ProgressCell(2), "");
    EXPECT_TRUE(window->BatchRun().Running());

    resumed = true;
    QTest::mouseClick(InProgress<QPushButton>("btnResume"), Qt::LeftButton);
    ASSERT_TRUE(WaitForBatchEnd());
    EXPECT_TRUE(cancelled) << "no progress after Resume";
    EXPECT_TRUE(spy.stopped);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(ProgressCell(row), "Stopped") << row;
    }
    EXPECT_FALSE(Progress()->isVisible());
    EXPECT_TRUE(shell.opened.empty());
    ExpectIdleButtons();
}
