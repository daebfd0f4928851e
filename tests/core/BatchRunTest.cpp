// The batch run and the progress window's model with real conversions through the encoder
// component: row order and texts, stop, failures, the after-conversion actions, priority.
#include "BatchTestSupport.h"

#include "BatchMessages.h"
#include "CoreTestHelpers.h"
#include "FFEncoder.h"
#include "IniFile.h"
#include "JobListRows.h"
#include "MainThread.h"
#include "OutputName.h"
#include "ProgressWindowModel.h"
#include "RecordingShell.h"
#include "Settings.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <thread>

using batch_test::TEventLog;
using batch_test::THome;
using batch_test::THookGate;
using batch_test::TRecordingRows;
using testing_support::ProbeEntry;
using testing_support::PumpUntil;
using testing_support::RecordingShell;

namespace {

// The nice value of the calling thread, from /proc.
int ThreadNice() {
    std::ifstream stat("/proc/thread-self/stat");
    const std::string text{std::istreambuf_iterator<char>(stat), std::istreambuf_iterator<char>()};
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    // Fields 3 to 19; the nice value is field 19.
    for (int i = 3; i <= 19; ++i) {
        fields >> field;
    }
    return std::stoi(field);
}

struct BatchRunFixture : ::testing::Test {
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        // One at a time: these tests follow the tasks' order of ending.
        TSettings(home.global).SetConversionsAtOnce(1);
        encoder.SetProgressInterval(100);
        run.AddListener(log);
        run.OnLog = [this](const std::string& text) { logged.push_back(text); };
    }

    bool WaitForEnd() {
        return PumpUntil([this] { return !run.Running(); }, std::chrono::seconds(120));
    }

    THome home;
    RecordingShell shell;
    TScopedShell scopedShell{shell};
    TFFEncoder encoder;
    TBatchRun run{encoder, home.global};
    TRecordingRows rows;
    TEventLog log;
    std::vector<std::string> logged;
};

} // namespace

TEST_F(BatchRunFixture, ThreeCheckedRowsOfFiveConvertInListOrder) {
    const std::string clip = batch_test::ShortClip();
    for (int r = 0; r < 5; ++r) {
        rows.Add(clip, r == 1 || r == 2 || r == 4);
    }
    int stopPreviews = 0;
    run.SetStopPreview([&] { ++stopPreviews; });
    // Every progress report lands on the row of its task, and on no other.
    std::vector<int> task1Rows;
    log.onProgress = [&](const TProgressInfo& info) {
        ASSERT_FALSE(rows.changes.empty());
        EXPECT_EQ(rows.changes.back().Row, run.TaskRows()[info.TaskIndex]);
        EXPECT_EQ(rows.changes.back().Text, run.Progress().PercentText());
        if (info.TaskIndex == 1) {
            task1Rows.push_back(rows.changes.back().Row);
        }
    };

    ASSERT_TRUE(run.Start(rows));
    EXPECT_EQ(stopPreviews, 1);
    EXPECT_EQ(run.TaskRows(), (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(encoder.TaskCount(), 3);
    run.RunTasks();
    ASSERT_TRUE(WaitForEnd());

    ASSERT_EQ(log.endedJobs.size(), 3u);
    EXPECT_EQ(log.endedJobs[0].Row, 1);
    EXPECT_EQ(log.endedJobs[1].Row, 2);
    EXPECT_EQ(log.endedJobs[2].Row, 4);
    EXPECT_EQ(log.lastTaskFlags, (std::vector<bool>{false, false, true}));
    EXPECT_EQ(log.batchEnds, 1);
    EXPECT_FALSE(log.stopped);
    EXPECT_FALSE(task1Rows.empty());
    EXPECT_EQ(std::count(task1Rows.begin(), task1Rows.end(), 2),
              static_cast<long>(task1Rows.size()));
    for (int r : {1, 2, 4}) {
        EXPECT_EQ(rows.Row(r).Progress, "100%") << r;
    }
    EXPECT_FALSE(rows.Touched(0));
    EXPECT_FALSE(rows.Touched(3));
    // The tasks are cleared at the end; the jobs keep their outputs.
    EXPECT_EQ(encoder.TaskCount(), 0);
    ASSERT_EQ(run.Jobs().size(), 3u);
    for (const TBatchJob& job : run.Jobs()) {
        EXPECT_EQ(job.Outcome, TJobOutcome::Converted);
        EXPECT_EQ(ProbeEntry(job.OutputFile, "v:0", "stream=codec_name"), "mpeg4");
    }
    EXPECT_EQ(run.Jobs()[2].OutputFile, home.dir.File("out/batch-clip_(new_2).mp4"));
    EXPECT_EQ(run.OutputFolder(), home.dir.File("out"));
    EXPECT_EQ(run.Progress().OverallPercent(), 100);
    EXPECT_GT(log.previews, 0);
    EXPECT_FALSE(run.PreviewFrame().Empty());
    EXPECT_TRUE(logged.empty());
}

// The first picture of a file as RGB bytes, optionally through a filter of the ffmpeg tool.
std::string FirstPicture(const std::string& path, const std::string& filter = "") {
    const std::string raw = path + ".rgb";
    testing_support::Ffmpeg(
        "-i " + testing_support::ShellQuote(path) + (filter.empty() ? "" : " -vf " + filter) +
        " -frames:v 1 -f rawvideo -pix_fmt rgb24 " + testing_support::ShellQuote(raw));
    std::ifstream in(raw, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(BatchRunFixture, ACropAtTheSourcesSizeKeepsTheCroppedSizeUnstretched) {
    const std::string clip = batch_test::SharedFixture("batch-wide.mp4", [](const std::string& p) {
        testing_support::MakeClip(p, 1, 640, 360, 25, 0, "-c:v mpeg4 -q:v 2");
    });
    home.settings.Ini().WriteString("formatInfo2302", "paraVideoSize", "as source");
    home.settings.Ini().WriteString("formatInfo2302", "paraVideoBitRate", "4000");
    rows.Add(clip);
    rows.Record(0).CropLeft = 160; // a quarter from the left
    ASSERT_TRUE(run.Start(rows));
    run.RunTasks();
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(run.Jobs().size(), 1u);
    const std::string output = run.Jobs()[0].OutputFile;
    ASSERT_EQ(run.Jobs()[0].Outcome, TJobOutcome::Converted);
    EXPECT_EQ(testing_support::ProbeEntries(output, "v:0", "stream=width,height"), "480\n360");

    const std::string converted = FirstPicture(output);
    const std::string expected = FirstPicture(clip, "crop=480:360:160:0");
    ASSERT_EQ(converted.size(), 480u * 360u * 3u);
    ASSERT_EQ(expected.size(), converted.size());
    double difference = 0;
    for (size_t i = 0; i < converted.size(); ++i) {
        difference += std::abs(static_cast<unsigned char>(converted[i]) -
                               static_cast<unsigned char>(expected[i]));
    }
    EXPECT_LT(difference / static_cast<double>(converted.size()), 6.0)
        << "the same part of the picture, neither stretched nor boxed";
}

TEST_F(BatchRunFixture, NoCheckedRowWarnsAndQueuesNothing) {
    rows.Add(batch_test::ShortClip(), false);
    int stopPreviews = 0;
    run.SetStopPreview([&] { ++stopPreviews; });
    EXPECT_FALSE(run.Start(rows));
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "Please select a file by clicking the check box!");
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_EQ(shell.messages[0].buttons, TMsgButtons::Ok);
    EXPECT_EQ(stopPreviews, 0);
    EXPECT_EQ(encoder.TaskCount(), 0);
    EXPECT_FALSE(run.Prepared());
}

TEST_F(BatchRunFixture, FailuresKeepTheRowsAlignedAndSayWhy) {
    const std::string clip = batch_test::ShortClip();
    rows.Add(clip);
    rows.Add(home.dir.File("missing.mp4"));
    rows.Add(batch_test::HundredChannelWav());
    rows.Add(clip);
    std::vector<int> task2Rows;
    log.onProgress = [&](const TProgressInfo& info) {
        if (info.TaskIndex == 2) {
            task2Rows.push_back(rows.changes.back().Row);
        }
    };

    ASSERT_TRUE(run.Start(rows));
    // The job that got no task keeps its row; the later tasks keep theirs.
    EXPECT_EQ(run.TaskRows(), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(rows.Row(1).Progress, "Failed");
    EXPECT_EQ(rows.Row(1).Tooltip, home.dir.File("missing.mp4") + ": No such file or directory");
    EXPECT_EQ(run.Jobs()[1].Outcome, TJobOutcome::NotAdded);
    EXPECT_EQ(run.Jobs()[1].Task, -1);
    run.RunTasks();
    ASSERT_TRUE(WaitForEnd());

    ASSERT_EQ(log.ends.size(), 3u);
    // Tasks run side by side: their ends come in any order.
    const auto task1 = std::find_if(log.ends.begin(), log.ends.end(),
                                    [](const TTerminateInfo& end) { return end.TaskIndex == 1; });
    ASSERT_NE(task1, log.ends.end());
    const TTerminateInfo& failed = *task1;
    EXPECT_TRUE(failed.Exception);
    EXPECT_NE(failed.ExceptionMsg.find("Can not resample 100 channels"), std::string::npos)
        << failed.ExceptionMsg;
    EXPECT_EQ(rows.Row(2).Progress, "Failed");
    EXPECT_EQ(rows.Row(2).Tooltip, failed.ExceptionMsg);
    EXPECT_EQ(run.Jobs()[2].Error, failed.ExceptionMsg);
    EXPECT_EQ(rows.Row(0).Progress, "100%");
    EXPECT_EQ(rows.Row(3).Progress, "100%");
    EXPECT_FALSE(task2Rows.empty());
    EXPECT_EQ(std::count(task2Rows.begin(), task2Rows.end(), 3),
              static_cast<long>(task2Rows.size()));
    // Both reasons reach the log.
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0], home.dir.File("missing.mp4") + ": " + rows.Row(1).Tooltip);
    EXPECT_EQ(logged[1], batch_test::HundredChannelWav() + ": " + failed.ExceptionMsg);
}

TEST_F(BatchRunFixture, PriorityTwoLowersTheConversionThreadAndHooksFollowTheJob) {
    home.settings.SetPriorityIndex(2);
    const std::string clip = batch_test::ShortClip();
    rows.Add(clip);
    rows.Record(0).Contrast = 10;
    rows.Add(clip);
    rows.Add(clip);
    TWmRec logo;
    logo.Kind = TWmRec::ImageItem;
    logo.ImageFile = "/some/logo.bmp";
    rows.Record(2).WaterMarks.push_back(logo);
    rows.Add(clip);
    rows.Record(3).WaterMarks.push_back(TWmRec{}); // nothing to draw

    std::mutex mutex;
    std::map<int, int> niceByRow;
    std::map<int, int> callsByRow;
    bool onMainThread = false;
    run.SetCustomHook([&](int row, THookInfo& info) {
        EXPECT_NE(info.Bitmap, nullptr);
        std::lock_guard lock(mutex);
        niceByRow[row] = ThreadNice();
        ++callsByRow[row];
        onMainThread = onMainThread || TMainThread::IsCurrent();
    });
    ASSERT_TRUE(run.Start(rows));
    EXPECT_EQ(encoder.ThreadPriority(), TThreadPriority::tpLower);
    run.RunTasks();
    ASSERT_TRUE(WaitForEnd());

    std::lock_guard lock(mutex);
    // Adjusted or watermarked jobs only; an item with nothing to draw switches nothing on.
    EXPECT_EQ(callsByRow.size(), 2u);
    EXPECT_GT(callsByRow[0], 0);
    EXPECT_GT(callsByRow[2], 0);
    EXPECT_FALSE(onMainThread);
    const int base = ThreadNice();
    if (base >= 5) {
        GTEST_SKIP() << "the tests already run at nice " << base;
    }
    EXPECT_EQ(niceByRow[0], 5);
    EXPECT_EQ(niceByRow[2], 5);
}

struct ProgressWindowFixture : BatchRunFixture {
    void SetUp() override {
        BatchRunFixture::SetUp();
        window.OnClose = [this] { ++closes; };
    }
    bool WaitForClose() {
        return PumpUntil([this] { return closes > 0; }, std::chrono::seconds(120));
    }

    TProgressWindowModel window{run, home.global};
    int closes = 0;
};

TEST_F(ProgressWindowFixture, AStopDuringTheFirstOfTwoTasksLeavesNoTraceOfSuccess) {
    const std::string clip = batch_test::ShortClip();
    rows.Add(clip);
    rows.Record(0).Brightness = 300;
    rows.Add(clip);
    THookGate gate;
    run.SetCustomHook([&](int, THookInfo&) { gate.Hold(); });
    window.SetShutDown(true);

    ASSERT_TRUE(run.Start(rows));
    window.Show();
    EXPECT_TRUE(window.OpenFolder());
    EXPECT_EQ(window.MainButtons(), (TBatchButtons{false, false, false, false, true, true, false}));
    ASSERT_TRUE(PumpUntil([&] { return gate.entered.IsSet(); }));
    window.CancelClick();
    EXPECT_FALSE(window.PauseEnabled());
    EXPECT_FALSE(window.ResumeEnabled());
    EXPECT_FALSE(window.CancelEnabled());
    EXPECT_EQ(window.MainButtons(),
              (TBatchButtons{true, false, false, false, false, false, false}));
    gate.release.Set();
    ASSERT_TRUE(WaitForClose());

    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(log.stopped);
    EXPECT_EQ(rows.Row(0).Progress, "Stopped");
    EXPECT_EQ(rows.Row(1).Progress, "Stopped");
    for (const auto& change : rows.changes) {
        EXPECT_NE(change.Text, "100%");
    }
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_EQ(shell.shutDowns, 0);
    // The buttons come back with the end of the batch.
    EXPECT_EQ(window.MainButtons(), TBatchButtons{});
    EXPECT_EQ(window.Title(), "Progress");
    EXPECT_EQ(encoder.TaskCount(), 0);
}

TEST_F(ProgressWindowFixture, ASingleJobOpensTheOutputFolderOnceAfterPausing) {
    rows.Add(batch_test::ShortClip());
    rows.Record(0).Saturation = 100;
    THookGate gate;
    run.SetCustomHook([&](int, THookInfo&) { gate.Hold(); });
    int changes = 0;
    window.OnChanged = [&] { ++changes; };

    ASSERT_TRUE(run.Start(rows));
    window.Show();
    EXPECT_TRUE(window.PauseEnabled());
    EXPECT_FALSE(window.ResumeEnabled());
    EXPECT_TRUE(window.CancelEnabled());
    ASSERT_TRUE(PumpUntil([&] { return gate.entered.IsSet(); }));
    window.PauseClick();
    EXPECT_FALSE(window.PauseEnabled());
    EXPECT_TRUE(window.ResumeEnabled());
    EXPECT_TRUE(window.MainButtons().Resume);
    EXPECT_FALSE(window.MainButtons().Pause);
    EXPECT_TRUE(run.Progress().Paused());
    gate.release.Set();
    window.ResumeClick();
    EXPECT_TRUE(window.PauseEnabled());
    EXPECT_FALSE(window.ResumeEnabled());
    EXPECT_FALSE(run.Progress().Paused());
    ASSERT_TRUE(WaitForClose());

    EXPECT_EQ(shell.opened, (std::vector<std::string>{home.dir.File("out")}));
    EXPECT_EQ(shell.shutDowns, 0);
    EXPECT_EQ(rows.Row(0).Progress, "100%");
    EXPECT_GT(changes, 2);
    // The figures of the last report stay for the closing window.
    const TBatchProgress& figures = window.Figures();
    EXPECT_EQ(figures.CounterText(), "[1/1]");
    EXPECT_EQ(figures.FileText(), TBatchProgress::ShortFileName(batch_test::ShortClip()));
    EXPECT_EQ(figures.LengthText(), "1 Second");
    EXPECT_EQ(window.BarValue(), 100);
}

TEST_F(ProgressWindowFixture, ShutDownFollowsTheLastTaskFixedAtStart) {
    const std::string clip = batch_test::ShortClip();
    rows.Add(clip);
    rows.Add(clip);
    rows.Add(clip, false);
    // Unchecking and checking rows during the batch changes nothing about its last task.
    log.onProgress = [&](const TProgressInfo& info) {
        if (info.TaskIndex == 0) {
            rows.SetChecked(1, false);
            rows.SetChecked(2, true);
        }
    };
    int shutDownsAtFirstEnd = -1;
    log.onTaskEnd = [&](const TBatchJob& job) {
        if (job.Task == 0) {
            shutDownsAtFirstEnd = shell.shutDowns;
        }
    };
    ASSERT_TRUE(run.Start(rows));
    window.Show();
    window.SetOpenFolder(false);
    window.SetShutDown(true);
    ASSERT_TRUE(WaitForClose());

    EXPECT_EQ(shutDownsAtFirstEnd, 0);
    EXPECT_EQ(shell.shutDowns, 1);
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_EQ(rows.Row(1).Progress, "100%");
    EXPECT_FALSE(rows.Touched(2));
}

TEST_F(ProgressWindowFixture, ClosingStopsWithoutWaitingAndTheEndClosesTheWindow) {
    const std::string clip = batch_test::ShortClip();
    rows.Add(clip);
    rows.Record(0).Exposure = 20;
    rows.Add(clip);
    THookGate gate;
    run.SetCustomHook([&](int, THookInfo&) { gate.Hold(); });
    window.SetShutDown(true);
    ASSERT_TRUE(run.Start(rows));
    window.Show();
    ASSERT_TRUE(PumpUntil([&] { return gate.entered.IsSet(); }));

    // The conversion is held in its hook: a close that waited for it would never return.
    EXPECT_FALSE(window.Close());
    EXPECT_TRUE(run.Running());
    EXPECT_TRUE(run.StopRequested());
    EXPECT_FALSE(window.CancelEnabled());
    EXPECT_EQ(closes, 0);
    gate.release.Set();
    ASSERT_TRUE(WaitForClose());
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(log.batchEnds, 1);
    EXPECT_TRUE(log.stopped);
    EXPECT_EQ(rows.Row(0).Progress, "Stopped");
    EXPECT_EQ(rows.Row(1).Progress, "Stopped");
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_EQ(shell.shutDowns, 0);
    EXPECT_EQ(window.MainButtons(), TBatchButtons{});
    // A second batch starts cleanly after the stopped one.
    run.SetCustomHook({});
    closes = 0;
    ASSERT_TRUE(run.Start(rows));
    window.Show();
    ASSERT_TRUE(WaitForClose());
    EXPECT_EQ(rows.Row(0).Progress, "100%");
    EXPECT_EQ(rows.Row(1).Progress, "100%");
    EXPECT_EQ(shell.shutDowns, 1);
}

TEST_F(ProgressWindowFixture, TwoAtOnceRunSideBySideAndOneCancelStopsBoth) {
    TSettings(home.global).SetConversionsAtOnce(2);
    const std::string clip = batch_test::ShortClip();
    for (int r = 0; r < 4; ++r) {
        rows.Add(clip);
        rows.Record(r).Brightness = 200; // a hook per picture
    }
    std::mutex mutex;
    std::set<int> held;
    TEvent bothHeld;
    TEvent release;
    run.SetCustomHook([&](int row, THookInfo&) {
        {
            std::lock_guard lock(mutex);
            held.insert(row);
            if (held.size() == 2) {
                bothHeld.Set();
            }
        }
        release.Wait();
    });
    ASSERT_TRUE(run.Start(rows));
    window.Show();
    EXPECT_EQ(run.ConversionsAtOnce(), 2);
    // Both hooks are entered while neither has returned: two conversions at once, the first
    // two of the list.
    ASSERT_TRUE(bothHeld.WaitFor(std::chrono::seconds(60)));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(held, (std::set<int>{0, 1}));
    }
    window.CancelClick();
    release.Set();
    ASSERT_TRUE(WaitForClose());
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(rows.Row(r).Progress, "Stopped") << r;
    }
    EXPECT_TRUE(log.stopped);
    EXPECT_EQ(log.endedJobs.size(), 4u);
    EXPECT_EQ(window.MainButtons(), TBatchButtons{});
    EXPECT_EQ(encoder.TaskCount(), 0);
}

TEST_F(ProgressWindowFixture, TheSnapshotButtonSavesThePreviewAndItsFittedArea) {
    rows.Add(batch_test::ShortClip());
    window.SnapshotClick(); // no picture yet: nothing
    EXPECT_FALSE(std::filesystem::exists(home.dir.File("snap")));
    ASSERT_TRUE(run.Start(rows));
    window.Show();
    ASSERT_TRUE(WaitForClose());
    ASSERT_TRUE(window.HasPreview());
    const TBitmap24& frame = run.PreviewFrame();
    EXPECT_EQ(window.PreviewRect(), FitPicture(frame.Width(), frame.Height(), {0, 0, 372, 210}));

    home.settings.SetSnapJpg(false);
    window.SnapshotClick();
    const std::string full = home.dir.File("snap/Snapshot_full.bmp");
    const std::string small = home.dir.File("snap/Snapshot_small.bmp");
    EXPECT_EQ(ProbeEntry(full, "v:0", "stream=width"), std::to_string(frame.Width()));
    EXPECT_EQ(ProbeEntry(small, "v:0", "stream=width"), "372");
    EXPECT_EQ(ProbeEntry(small, "v:0", "stream=height"), "210");
    EXPECT_FALSE(std::filesystem::exists(home.dir.File("snap/Snapshot_full.jpg")));
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(ProgressWindowFixture, ClosingBeforeTheTasksStartConvertsNothing) {
    rows.Add(batch_test::ShortClip());
    rows.Add(home.dir.File("missing.mp4"));
    ASSERT_TRUE(run.Start(rows));
    EXPECT_TRUE(run.Prepared());
    EXPECT_FALSE(run.Start(rows)); // one batch at a time
    EXPECT_TRUE(window.Close());
    EXPECT_FALSE(run.Prepared());
    EXPECT_FALSE(run.Running());
    EXPECT_EQ(encoder.TaskCount(), 0);
    EXPECT_EQ(log.batchEnds, 1);
    EXPECT_TRUE(log.stopped);
    EXPECT_EQ(rows.Row(0).Progress, "Stopped");
    EXPECT_EQ(rows.Row(1).Progress, "Failed");
    EXPECT_FALSE(std::filesystem::exists(run.Jobs()[0].OutputFile) &&
                 std::filesystem::file_size(run.Jobs()[0].OutputFile) > 0);
    EXPECT_TRUE(shell.opened.empty());
}

TEST_F(ProgressWindowFixture, TheMainWindowsJobListServesAsTheRows) {
    TJobList jobs;
    for (const std::string& source :
         {batch_test::ShortClip(), home.dir.File("missing.mp4"), batch_test::ShortClip()}) {
        auto record = std::make_unique<TlvFilesRecord>();
        record->SourceFile = source;
        jobs.Append(std::move(record));
    }
    jobs.SetChecked(0, false);
    TJobListRows jobRows(jobs);
    ASSERT_TRUE(run.Start(jobRows));
    EXPECT_EQ(run.TaskRows(), (std::vector<int>{2}));
    // A source that is gone is skipped, saying so.
    EXPECT_EQ(jobs.Cell(1, TJobColumn::Progress), "Missing");
    EXPECT_EQ(jobs.ProgressHint(1), home.dir.File("missing.mp4") + ": No such file or directory");
    EXPECT_TRUE(window.Close());
    EXPECT_EQ(jobs.Cell(2, TJobColumn::Progress), "Stopped");
    EXPECT_EQ(jobs.Cell(0, TJobColumn::Progress), "");
}

// A format code the catalog does not describe is refused before anything is made: another
// format's output would pass for the one asked for.
TEST_F(BatchRunFixture, FormatMissingFromTheCatalogStartsNothing) {
    rows.Add(batch_test::ShortClip(), true);
    std::vector<std::string> warnings;
    TBatchRequest request;
    request.Warn = [&](const std::string& text, const std::string& caption) {
        warnings.push_back(caption + "|" + text);
    };
    home.settings.SetFormat("Unknown", 999999);
    EXPECT_FALSE(run.Start(rows, request));
    // A code the program knows, missing from a catalog that lost its section.
    TIniFile(home.global.CatalogFile()).EraseSection("formatInfo2302");
    home.settings.SetFormat("MPEG-4 Video (*.mp4)", 2302);
    EXPECT_FALSE(run.Start(rows, request));
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "Warning|the output format 999999 is not in the format catalog",
                            "Warning|the output format 2302 is not in the format catalog"}));
    EXPECT_EQ(encoder.TaskCount(), 0);
    EXPECT_FALSE(run.Prepared());
    EXPECT_TRUE(!std::filesystem::exists(home.dir.File("out")) ||
                std::filesystem::is_empty(home.dir.File("out")));
}

// Each task reserves its output when it starts and writes an unfinished file that gets its final
// name only when complete; Interrupt removes a stopped output and says "Interrupted"; tasks
// that never ran reserved nothing.
TEST_F(BatchRunFixture, OutputsAreReservedWhenTasksStartAndUnfinishedUntilComplete) {
    const std::string clip = batch_test::ShortClip();
    rows.Add(clip, true);
    rows.Add(clip, true);
    ASSERT_TRUE(run.Start(rows));
    // Nothing is opened or reserved before a task's turn.
    EXPECT_EQ(run.Jobs()[0].OutputFile, "");
    EXPECT_TRUE(!std::filesystem::exists(home.dir.File("out")) ||
                std::filesystem::is_empty(home.dir.File("out")));
    run.RunTasks();
    ASSERT_TRUE(WaitForEnd());
    const std::string first = run.Jobs()[0].OutputFile;
    const std::string second = run.Jobs()[1].OutputFile;
    EXPECT_EQ(first,
              home.dir.File("out/") + std::filesystem::path(clip).stem().string() + "_(new).mp4");
    EXPECT_EQ(second,
              home.dir.File("out/") + std::filesystem::path(clip).stem().string() + "_(new_1).mp4");
    for (const std::string& output : {first, second}) {
        EXPECT_GT(std::filesystem::file_size(output), 1000u);
        EXPECT_EQ(ProbeEntry(output, "v:0", "stream=codec_name"), "mpeg4");
        EXPECT_FALSE(std::filesystem::exists(UnfinishedName(output)));
    }
    EXPECT_EQ(run.Jobs()[1].Outcome, TJobOutcome::Converted) << run.Jobs()[1].Error;
    EXPECT_EQ(core_test::EntryCount(home.dir.File("out")), 2);

    // Started and interrupted before any task ran: nothing at all is left, and the rows say
    // what ended them.
    ASSERT_TRUE(run.Start(rows));
    run.Interrupt();
    EXPECT_EQ(core_test::EntryCount(home.dir.File("out")), 2);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(rows.Row(row).Progress, "Interrupted") << row;
        EXPECT_EQ(run.Jobs()[static_cast<size_t>(row)].Outcome, TJobOutcome::Interrupted) << row;
    }
    // A plain stop of a batch that never ran says "Stopped".
    ASSERT_TRUE(run.Start(rows));
    run.Stop();
    EXPECT_EQ(rows.Row(0).Progress, "Stopped");
    EXPECT_EQ(run.Jobs()[0].Outcome, TJobOutcome::Stopped);

    // Interrupted while the first task converts: its output goes, the second never starts.
    THookGate gate;
    rows.Record(0).Brightness = 300;
    run.SetCustomHook([&](int, THookInfo&) { gate.Hold(); });
    ASSERT_TRUE(run.Start(rows));
    run.RunTasks();
    ASSERT_TRUE(PumpUntil([&] { return gate.entered.IsSet(); }));
    EXPECT_EQ(core_test::EntryCount(home.dir.File("out")), 4) << "reserved and unfinished";
    run.Interrupt();
    gate.release.Set();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(rows.Row(0).Progress, "Interrupted");
    EXPECT_EQ(core_test::EntryCount(home.dir.File("out")), 2);
}
