#include "FFEncoder.h"
#include "FFmpegException.h"
#include "MainThread.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <numeric>
#include <set>
#include <thread>

using testing_support::PumpUntil;
using testing_support::TempDir;

namespace {

struct Event {
    int task;
    bool finished;
    bool exception;
    std::string message;
    std::thread::id thread;
};

class Component : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        clip = dir.File("clip.mkv");
        testing_support::MakeClip(clip, 2, 160, 120, 25, 44100, "-c:v mpeg4 -c:a mp2");
        encoder.OnTerminate = [this](TCustomFFEncoder&, const TTerminateInfo& info) {
            std::lock_guard lock(mutex);
            events.push_back({info.TaskIndex, info.Finished, info.Exception, info.ExceptionMsg,
                              std::this_thread::get_id()});
        };
    }
    void TearDown() override {
        encoder.Stop(true);
        WaitForBatchEnd();
    }

    int AddConversion(const std::string& output, const std::string& ext = "") {
        const int index = encoder.AddTask(clip, nullptr);
        EXPECT_GE(index, 0) << encoder.LastErrorText();
        TOutputOptions o;
        o.VideoCodec = "mpeg4";
        o.AudioCodec = "mp2";
        o.ExtOptions = ext;
        EXPECT_TRUE(encoder.SetOutputFile(index, output, &o)) << encoder.LastErrorText();
        return index;
    }
    // The end-of-batch event may overtake a task's own: wait for every event expected.
    bool WaitForEvents(size_t count) {
        return PumpUntil([this, count] {
            std::lock_guard lock(mutex);
            return events.size() >= count;
        });
    }
    bool WaitForBatchEnd() {
        return PumpUntil([this] {
            std::lock_guard lock(mutex);
            return std::any_of(events.begin(), events.end(),
                               [](const Event& e) { return e.task == -1; });
        });
    }
    std::vector<Event> Events() {
        std::lock_guard lock(mutex);
        return events;
    }
    std::string ErrorOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const FFmpegException& e) {
            return e.what();
        }
        return "(no error)";
    }

    TempDir dir;
    std::string clip;
    TFFEncoder encoder;
    std::mutex mutex;
    std::vector<Event> events;
};

} // namespace

TEST_F(Component, PropertiesAndRecords) {
    EXPECT_EQ(TCustomFFEncoder::Version(), "3.3");
    encoder.SetProgressInterval(50);
    EXPECT_EQ(encoder.ProgressInterval(), 100);
    encoder.SetProgressInterval(1000);
    EXPECT_EQ(encoder.ProgressInterval(), 1000);

    // A null record opens the input with the engine's defaults; an empty FileName takes the
    // argument.
    EXPECT_EQ(encoder.AddTask(clip, nullptr), 0);
    TInputOptions in;
    EXPECT_EQ(encoder.AddTask(clip, &in), 1);
    ASSERT_NE(encoder.InputProbe(1, 0), nullptr);
    EXPECT_EQ(encoder.InputProbe(1, 0)->StreamCount(), 2);
    EXPECT_EQ(encoder.InputProbe(1, 1), nullptr);
    EXPECT_EQ(encoder.TaskCount(), 2);

    EXPECT_EQ(encoder.Task(0)->PreviewFlags(), 0);
    encoder.SetPreview(true);
    encoder.SetPreviewBitmap(true);
    EXPECT_EQ(encoder.Task(0)->PreviewFlags(), 3);
    encoder.SetPreview(false);
    EXPECT_EQ(encoder.Task(1)->PreviewFlags(), 2);

    EXPECT_EQ(encoder.AddTask(dir.File("missing.avi"), nullptr), -1);
    EXPECT_EQ(encoder.LastErrorText(), dir.File("missing.avi") + ": No such file or directory");
    EXPECT_EQ(encoder.TaskCount(), 2);
    encoder.RemoveTask(0);
    EXPECT_EQ(encoder.TaskCount(), 1);
    encoder.ClearTasks();
    EXPECT_EQ(encoder.TaskCount(), 0);
    EXPECT_EQ(encoder.LastErrorText(), "");
}

TEST_F(Component, ExtOptionLinesReachTheEngine) {
    TInputOptions in;
    in.ExtOptions = "vn=1<CRLF>b=800k";
    const int index = encoder.AddTask(clip, &in);
    ASSERT_EQ(index, 0);
    EXPECT_TRUE(encoder.Task(0)->Pending().video_disable);
    const TFFmpeg* task = encoder.Task(0);
    EXPECT_EQ(task->InputOptions[0]->FileName, clip);
    // The input was opened with video disabled: its video stream is discarded.
    EXPECT_EQ(task->InputContext(0)->streams[0]->discard, AVDISCARD_ALL);
}

TEST_F(Component, VideoCodecDefaultsAndPendingLines) {
    // An empty VideoCodec takes the ExtOptions line.
    const int a = encoder.AddTask(clip, nullptr);
    TOutputOptions o;
    o.ExtOptions = "vcodec=mpeg4\nacodec=mp2";
    ASSERT_TRUE(encoder.SetOutputFile(a, dir.File("a.mkv"), &o)) << encoder.LastErrorText();
    // A VideoCodec keeps the default; the line waits for a "newvideo" line.
    const int b = encoder.AddTask(clip, nullptr);
    TOutputOptions p;
    p.VideoCodec = "mpeg1video";
    p.AudioCodec = "mp2";
    p.ExtOptions = "vcodec=mpeg4<CRLF>vfilters=scale=96:64<CRLF>newvideo";
    ASSERT_TRUE(encoder.SetOutputFile(b, dir.File("b.mkv"), &p)) << encoder.LastErrorText();
    encoder.StartTask(0);
    ASSERT_TRUE(WaitForBatchEnd());
    EXPECT_EQ(testing_support::ProbeEntry(dir.File("a.mkv"), "v:0", "stream=codec_name"), "mpeg4");
    EXPECT_EQ(testing_support::ProbeEntry(dir.File("b.mkv"), "v:0", "stream=codec_name"),
              "mpeg1video");
    EXPECT_EQ(testing_support::ProbeEntry(dir.File("b.mkv"), "v:1", "stream=codec_name"), "mpeg4");
    // "vfilters" works as "vf": the first video stream took it as its default.
    EXPECT_EQ(testing_support::ProbeEntry(dir.File("b.mkv"), "v:0", "stream=width"), "96");
}

TEST_F(Component, TwentyOutputsAtMost) {
    const int index = encoder.AddTask(clip, nullptr);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(
            encoder.SetOutputFile(index, dir.File("o" + std::to_string(i) + ".mkv"), nullptr))
            << encoder.LastErrorText();
    }
    EXPECT_FALSE(encoder.SetOutputFile(index, dir.File("o20.mkv"), nullptr));
    EXPECT_EQ(encoder.LastErrorText(), "max output files 20 reached");
    EXPECT_FALSE(encoder.SetOutputFile(7, dir.File("x.mkv"), nullptr));
}

TEST_F(Component, TimestampNowAndUnset) {
    const int a = encoder.AddTask(clip, nullptr);
    TOutputOptions o;
    o.VideoCodec = "copy";
    o.AudioCodec = "copy";
    o.Metadata.Timestamp = 0;
    o.Metadata.Author = "Someone";
    o.Metadata.Year = 2021;
    ASSERT_TRUE(encoder.SetOutputFile(a, dir.File("now.mkv"), &o)) << encoder.LastErrorText();
    const int b = encoder.AddTask(clip, nullptr);
    o.Metadata = TStreamInfo{};
    ASSERT_TRUE(encoder.SetOutputFile(b, dir.File("unset.mkv"), &o)) << encoder.LastErrorText();
    encoder.StartTask(0);
    ASSERT_TRUE(WaitForBatchEnd());
    const std::string stamp =
        testing_support::ProbeEntry(dir.File("now.mkv"), "", "format_tags=creation_time");
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char year[8];
    std::strftime(year, sizeof year, "%Y", &utc);
    EXPECT_EQ(stamp.substr(0, 4), year) << stamp;
    EXPECT_EQ(testing_support::ProbeEntry(dir.File("now.mkv"), "", "format_tags=artist"),
              "Someone");
    EXPECT_EQ(testing_support::ProbeEntry(dir.File("unset.mkv"), "", "format_tags=creation_time"),
              "");
}

TEST_F(Component, GuardedOperationsWhileWorking) {
    const int index = AddConversion(dir.File("out.mkv"));
    ASSERT_EQ(index, 0);
    encoder.StartTask(1);
    EXPECT_EQ(ErrorOf([&] { encoder.AddTask(clip, nullptr); }), "Cannot AddTask while working.");
    EXPECT_EQ(ErrorOf([&] { encoder.SetOutputFile(index, dir.File("b.mkv"), nullptr); }),
              "Cannot SetOutputFile while working.");
    EXPECT_EQ(ErrorOf([&] { encoder.RemoveTask(index); }), "Cannot RemoveTask while working.");
    EXPECT_EQ(ErrorOf([&] { encoder.StartTask(1); }), "Cannot StartTask while working.");
    if (!encoder.Task(0)->Terminated()) {
        EXPECT_EQ(ErrorOf([&] { encoder.ClearTasks(); }), "Cannot ClearTasks while working.");
    }
    ASSERT_TRUE(WaitForBatchEnd());
    // The batch has ended: clearing is allowed again, and with it everything else.
    encoder.ClearTasks();
    EXPECT_EQ(encoder.AddTask(clip, nullptr), 0);
}

TEST_F(Component, ThreeTasksOneAfterAnotherWithAFailureInTheMiddle) {
    AddConversion(dir.File("t0.mkv"));
    ASSERT_EQ(encoder.AddTask(clip, nullptr), 1); // no output
    AddConversion(dir.File("t2.mkv"));
    encoder.StartTask(1);
    ASSERT_TRUE(WaitForEvents(4));
    std::vector<Event> got = Events();
    ASSERT_EQ(got.size(), 4u);
    for (const Event& e : got) {
        EXPECT_NE(e.thread, std::this_thread::get_id())
            << "threaded runs never notify on the caller";
    }
    // Handlers run on threads of their own; their order of arrival may vary, not their content.
    std::sort(got.begin(), got.end(),
              [](const Event& a, const Event& b) { return a.task < b.task; });
    EXPECT_EQ(got[0].task, -1);
    EXPECT_TRUE(got[0].finished);
    EXPECT_TRUE(got[1].finished);
    EXPECT_FALSE(got[1].exception);
    EXPECT_EQ(got[2].task, 1);
    EXPECT_TRUE(got[2].exception);
    EXPECT_EQ(got[2].message, "At least one output file must be specified");
    EXPECT_TRUE(got[3].finished);
    EXPECT_FALSE(got[3].exception) << got[3].message;
    EXPECT_NEAR(testing_support::ProbeDuration(dir.File("t2.mkv")), 2.0, 0.2);
}

TEST_F(Component, RunOnTheCallersThreadEndsWithTheBatchEvent) {
    AddConversion(dir.File("a.mkv"));
    ASSERT_EQ(encoder.AddTask(clip, nullptr), 1);
    AddConversion(dir.File("c.mkv"));
    encoder.StartTask(0);
    // Returned only after the end-of-batch event, all delivered on this thread, in order.
    const std::vector<Event> got = Events();
    ASSERT_EQ(got.size(), 4u);
    const int order[] = {0, 1, 2, -1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(got[i].task, order[i]);
        EXPECT_EQ(got[i].thread, std::this_thread::get_id());
    }
    EXPECT_TRUE(got[1].exception);
}

TEST_F(Component, EmptyListEndsTheBatchAtOnce) {
    encoder.StartTask(1);
    ASSERT_TRUE(WaitForBatchEnd());
    EXPECT_EQ(Events().size(), 1u);
    EXPECT_EQ(ErrorOf([&] { encoder.AddTask(clip, nullptr); }), "Cannot AddTask while working.");
    encoder.ClearTasks();
    EXPECT_EQ(encoder.AddTask(clip, nullptr), 0);
}

TEST_F(Component, ClearTasksFromTheEndOfBatchHandler) {
    for (int threads : {1, 0}) {
        events.clear();
        encoder.OnTerminate = [this](TCustomFFEncoder& sender, const TTerminateInfo& info) {
            if (info.TaskIndex == -1) {
                sender.ClearTasks(); // holding no lock of ours: the component takes its own
            }
            std::lock_guard lock(mutex);
            events.push_back(
                {info.TaskIndex, info.Finished, info.Exception, info.ExceptionMsg, {}});
        };
        AddConversion(dir.File("x.mkv"));
        encoder.StartTask(threads);
        ASSERT_TRUE(WaitForBatchEnd());
        ASSERT_TRUE(PumpUntil([&] { return encoder.TaskCount() == 0; }));
        EXPECT_EQ(encoder.AddTask(clip, nullptr), 0) << encoder.LastErrorText();
        encoder.ClearTasks();
    }
}

TEST_F(Component, StopDuringTheFirstOfThree) {
    const std::string longClip = dir.File("long.mkv");
    testing_support::MakeClip(longClip, 20, 320, 240, 25, 44100, "-c:v mpeg4 -c:a mp2");
    for (int i = 0; i < 3; ++i) {
        const int index = encoder.AddTask(longClip, nullptr);
        TOutputOptions o;
        o.VideoCodec = "mpeg4";
        o.AudioCodec = "mp2";
        o.ExtOptions = "re=1"; // read at the clip's own pace, so the stop lands midway
        ASSERT_TRUE(encoder.SetOutputFile(index, dir.File("s" + std::to_string(i) + ".mkv"), &o));
    }
    std::atomic<bool> progressed{false};
    encoder.OnProgress = [&](TCustomFFEncoder&, PProgressInfo) { progressed = true; };
    encoder.StartTask(1);
    ASSERT_TRUE(PumpUntil([&] { return progressed.load(); }));
    encoder.Stop(true);
    EXPECT_TRUE(encoder.Task(0)->Terminated()); // Stop returned after the thread ended
    ASSERT_TRUE(WaitForEvents(4));
    std::vector<Event> got = Events();
    ASSERT_EQ(got.size(), 4u);
    std::sort(got.begin(), got.end(),
              [](const Event& a, const Event& b) { return a.task < b.task; });
    for (int i = 1; i < 4; ++i) {
        EXPECT_FALSE(got[i].finished) << got[i].task;
        EXPECT_FALSE(got[i].exception) << got[i].message;
    }
    // The stopped output is valid and shorter; the never-started ones leave nothing.
    const double stopped = testing_support::ProbeDuration(dir.File("s0.mkv"));
    EXPECT_GT(stopped, 0.0);
    EXPECT_LT(stopped, 19.0);
    encoder.ClearTasks();
    EXPECT_FALSE(std::filesystem::exists(dir.File("s2.mkv")));
}

TEST_F(Component, ProgressOnTheMainThreadAtTheInterval) {
    const std::string longClip = dir.File("long.mkv");
    testing_support::MakeClip(longClip, 6, 320, 240, 25, 44100, "-c:v mpeg4 -c:a mp2");
    const int index = encoder.AddTask(longClip, nullptr);
    TOutputOptions o;
    o.VideoCodec = "mpeg4";
    o.AudioCodec = "mp2";
    o.ExtOptions = "re=1"; // real-time reading keeps the conversion long enough to report
    ASSERT_TRUE(encoder.SetOutputFile(index, dir.File("p.mkv"), &o));
    encoder.SetProgressInterval(500);
    std::vector<std::pair<std::chrono::steady_clock::time_point, TProgressInfo>> reports;
    bool allOnMain = true;
    encoder.OnProgress = [&](TCustomFFEncoder&, PProgressInfo info) {
        allOnMain = allOnMain && TMainThread::IsCurrent();
        reports.emplace_back(std::chrono::steady_clock::now(), *info);
    };
    encoder.StartTask(1);
    ASSERT_TRUE(WaitForBatchEnd());
    EXPECT_TRUE(allOnMain);
    ASSERT_GE(reports.size(), 5u);
    for (size_t i = 1; i + 1 < reports.size(); ++i) {
        const auto gap = reports[i].first - reports[i - 1].first;
        EXPECT_GE(gap, std::chrono::milliseconds(450)) << i;
    }
    EXPECT_EQ(reports.back().second.FileIndex, -1);
    EXPECT_EQ(reports.back().second.TaskIndex, 0);
    EXPECT_GT(reports.back().second.FrameNumber, 100);
    EXPECT_NEAR(reports.back().second.TotalDuration, 6000000, 100000);
}

namespace {

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

} // namespace

// Queued tasks hold no file until their turn; three at once still choose their output names in
// list order, and terminate events arrive from one thread, in the order the tasks ended.
TEST_F(Component, QueuedTasksOpenNothingBeforeTheirTurnAndNameOutputsInListOrder) {
    constexpr int kTasks = 12;
    constexpr int kMissing = 5;
    std::mutex namesMutex;
    std::vector<int> namingOrder;
    const int before = OpenDescriptors();
    for (int k = 0; k < kTasks; ++k) {
        TCustomFFEncoder::TQueuedTask queued;
        queued.InputFile = k == kMissing ? dir.File("missing.mkv") : clip;
        queued.Output.VideoCodec = "mpeg4";
        queued.Output.AudioCodec = "mp2";
        queued.ChooseOutput = [&, k](int task) {
            EXPECT_EQ(task, k);
            std::lock_guard lock(namesMutex);
            namingOrder.push_back(k);
            return dir.File("q" + std::to_string(k) + ".mkv");
        };
        ASSERT_EQ(encoder.AddQueuedTask(std::move(queued)), k);
    }
    EXPECT_EQ(OpenDescriptors(), before) << "a queued task opened a file";
    EXPECT_EQ(encoder.InputProbe(0, 0), nullptr);

    encoder.StartTask(3);
    ASSERT_TRUE(WaitForEvents(kTasks + 1));
    std::vector<Event> got = Events();
    EXPECT_EQ(got.back().task, -1) << "the end of the batch comes last";
    std::set<std::thread::id> deliveryThreads;
    for (const Event& e : got) {
        deliveryThreads.insert(e.thread);
        if (e.task == kMissing) {
            EXPECT_TRUE(e.exception);
            EXPECT_EQ(e.message, dir.File("missing.mkv") + ": No such file or directory");
        } else if (e.task >= 0) {
            EXPECT_TRUE(e.finished) << e.task << ": " << e.message;
        }
    }
    EXPECT_EQ(deliveryThreads.size(), 1u) << "one delivery thread, not one per event";
    std::vector<int> listOrder(kTasks);
    std::iota(listOrder.begin(), listOrder.end(), 0);
    EXPECT_EQ(namingOrder, listOrder);
    for (int k = 0; k < kTasks; ++k) {
        const std::string out = dir.File("q" + std::to_string(k) + ".mkv");
        EXPECT_EQ(std::filesystem::exists(out), k != kMissing) << out;
    }
    encoder.ClearTasks();
    EXPECT_EQ(OpenDescriptors(), before) << "an ended task kept a file open";
}

// A stop while tasks wait in the queue: the running ones stop, the waiting ones end at once
// without ever opening their files; every task gets exactly one event.
TEST_F(Component, StopEndsQueuedTasksWithoutOpeningThem) {
    constexpr int kTasks = 8;
    std::atomic<int> named{0};
    for (int k = 0; k < kTasks; ++k) {
        TCustomFFEncoder::TQueuedTask queued;
        queued.InputFile = clip;
        queued.Output.VideoCodec = "mpeg4";
        queued.Output.AudioCodec = "mp2";
        queued.ChooseOutput = [&, k](int task) {
            EXPECT_EQ(task, k);
            ++named;
            return dir.File("s" + std::to_string(k) + ".mkv");
        };
        encoder.AddQueuedTask(std::move(queued));
    }
    std::atomic<bool> firstReport{false};
    encoder.SetTriggerEventInMainThread(false);
    encoder.SetProgressInterval(100);
    encoder.OnProgress = [&](TCustomFFEncoder&, PProgressInfo) { firstReport = true; };
    encoder.StartTask(2);
    ASSERT_TRUE(PumpUntil([&] { return firstReport.load(); }));
    encoder.Stop(true);
    ASSERT_TRUE(WaitForEvents(kTasks + 1));
    std::vector<Event> got = Events();
    std::map<int, int> perTask;
    for (const Event& e : got) {
        ++perTask[e.task];
        EXPECT_FALSE(e.exception) << e.task << ": " << e.message;
    }
    EXPECT_EQ(perTask.size(), static_cast<size_t>(kTasks + 1));
    for (const auto& [task, count] : perTask) {
        EXPECT_EQ(count, 1) << task;
    }
    EXPECT_LT(named.load(), kTasks) << "tasks that never started chose names";
}
