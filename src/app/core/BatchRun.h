#pragma once

#include "BatchProgress.h"
#include "BatchRows.h"
#include "Bitmap24.h"
#include "EncoderEvents.h"
#include "OutputName.h"
#include "TaskOptionsBuilder.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCustomFFEncoder;
class TGlobalObject;

// What became of one checked row of a batch.
enum class TJobOutcome { Queued, Converted, Failed, Stopped, NotAdded };

struct TBatchJob {
    int Row = -1;
    int Task = -1; // -1: the job got no task; Error says why
    std::string Source;
    std::string OutputFile;
    std::string WritingFile; // the file the task writes while it converts
    TJobOutcome Outcome = TJobOutcome::Queued;
    std::string Error; // why it failed or was not added
};

// How a batch is built; the defaults are the desktop program's Start.
struct TBatchRequest {
    int FormatCode = -1;      // -1: the stored "FormatCode"
    std::string OutputFolder; // empty: the stored "OutPutDir"
    std::string ZoomOverride; // empty: each format profile's zoom mode
    bool PreviewPictures = true;
    TAskYesNo Ask;     // empty: a question box through Shell()
    TShowWarning Warn; // empty: a warning box through Shell()
};

// Told of a batch's events, always on the main thread.
class IBatchListener {
public:
    virtual ~IBatchListener() = default;
    virtual void BatchProgress(const TProgressInfo&) {}
    virtual void BatchPreviewFrame() {}
    // lastTask: the batch's last task (fixed at Start).
    virtual void BatchTaskEnded(const TBatchJob&, const TTerminateInfo&, bool /*lastTask*/) {}
    // After every task's end; the encoder's tasks are cleared by then.
    virtual void BatchEnded(bool /*stopped*/) {}
};

// One batch conversion for every front end: Start turns the checked rows into tasks of the
// encoder component, RunTasks converts them one at a time, and the component's events come
// back on the main thread as row texts, progress figures, the preview picture and the ends of
// tasks and of the batch. Every call is made on the main thread; every wait serves the
// main-thread queue through the wait pump. Destroy the run before its encoder.
class TBatchRun {
public:
    // Runs on the conversion thread for every picture of a task whose job has adjustments or
    // a watermark; row is the job-list row of the task.
    using THook = std::function<void(int row, THookInfo& info)>;

    TBatchRun(TCustomFFEncoder& encoder, const TGlobalObject& global,
              TMonotonicClock clock = SteadyClockMicroseconds);
    ~TBatchRun();
    TBatchRun(const TBatchRun&) = delete;
    TBatchRun& operator=(const TBatchRun&) = delete;

    void AddListener(IBatchListener& listener);
    void RemoveListener(IBatchListener& listener);
    // Taken by the next Start.
    void SetCustomHook(THook hook);
    // Called by Start before the tasks are made, to stop the main window's player.
    void SetStopPreview(std::function<void()> stopPreview);
    // One step of every wait: serves the main-thread queue (and, in the desktop program,
    // the window system). The default serves the main-thread queue for up to 10 ms.
    void SetWaitPump(std::function<void()> pump);
    // Text for the log (the hidden log memo): why a job failed or was not added.
    std::function<void(const std::string&)> OnLog;

    // The Start steps. False when a batch is under way, or with no checked row (after the
    // warning). rows must outlive the batch.
    bool Start(IBatchRows& rows, const TBatchRequest& request = {});
    // Converts the tasks made by Start, one at a time on worker threads.
    void RunTasks();
    void Pause();
    void Resume();
    // Asks every task to stop; returns at once. The end of the batch follows.
    void Stop();
    // Stops and waits for the end of the batch, pumping. Inside a progress or picture notice it
    // only stops (see Delivering).
    void StopAndWait();
    // Waits, pumping, until the end of the batch has been handled; eachStep runs after
    // every pump step.
    void WaitForEnd(const std::function<void()>& eachStep = {});

    bool Prepared() const { return state_ == TState::Prepared; }
    // From RunTasks until the end of the batch has been handled.
    bool Running() const { return state_ == TState::Running; }
    bool Paused() const { return paused_; }
    bool StopRequested() const { return stopRequested_; }
    // A conversion thread is waiting for the listeners to return from a progress or picture
    // notice: waiting for the end of the batch now could never end.
    bool Delivering() const { return delivering_ > 0; }

    // Element k: the row of task k.
    const std::vector<int>& TaskRows() const { return taskRows_; }
    int RowOfTask(int task) const;
    int TaskCount() const { return static_cast<int>(taskRows_.size()); }
    // One per checked row, in row order.
    const std::vector<TBatchJob>& Jobs() const { return jobs_; }
    const TBatchJob* JobOfTask(int task) const;
    const TBatchProgress& Progress() const { return progress_; }
    // The latest preview picture of the conversion.
    const TBitmap24& PreviewFrame() const { return previewFrame_; }
    // Where the batch writes its outputs.
    const std::string& OutputFolder() const { return outputFolder_; }

private:
    enum class TState { Idle, Prepared, Running };

    void InstallHandlers();
    void AddJobs(const TBatchRequest& request);
    void HandleProgress(const TProgressInfo& info);
    void HandlePreview(const TBitmap24& bitmap);
    void HandleTerminate(const TTerminateInfo& info);
    void EndBatchWhenComplete();
    void Log(const std::string& text);
    template <typename Fn> void Notify(Fn fn);

    TCustomFFEncoder& encoder_;
    const TGlobalObject& global_;
    IBatchRows* rows_ = nullptr;
    std::vector<IBatchListener*> listeners_;
    THook hook_;
    std::function<void()> stopPreview_;
    std::function<void()> pump_;

    TState state_ = TState::Idle;
    // Events of an earlier batch that arrive late are recognised by their generation.
    int generation_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    bool paused_ = false;
    bool stopRequested_ = false;
    bool batchEndArrived_ = false;
    int delivering_ = 0;
    int endedTasks_ = 0;

    std::vector<int> taskRows_;
    std::vector<TBatchJob> jobs_;
    std::string outputFolder_;
    TBatchProgress progress_;
    TBitmap24 previewFrame_;
};
