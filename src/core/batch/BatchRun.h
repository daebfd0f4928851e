#pragma once

#include "BatchProgress.h"
#include "BatchRows.h"
#include "Bitmap24.h"
#include "EncoderEvents.h"
#include "OutputName.h"
#include "TaskOptionsBuilder.h"
#include "TaskOutputs.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCustomFFEncoder;
class TGlobalObject;

// What became of one checked row of a batch.
// Interrupted: stopped by a signal that ends the program; its output is removed.
enum class TJobOutcome { Queued, Converted, Failed, Stopped, Interrupted, NotAdded };

struct TBatchJob {
    int Row = -1;
    int Task = -1; // -1: the job got no task; Error says why
    std::string Source;
    std::string OutputFile;
    TJobOutcome Outcome = TJobOutcome::Queued;
    std::string Error;  // why it failed or was not added
    std::string Notice; // what the row's tooltip says while it converts (a replaced encoder)
};

// How a batch is built; the defaults are the desktop program's Start.
struct TBatchRequest {
    int FormatCode = -1;      // -1: the stored "FormatCode"
    std::string OutputFolder; // empty: the stored "OutPutDir"
    std::string ZoomOverride; // empty: each format profile's zoom mode
    bool PreviewPictures = true;
    int ConversionsAtOnce = -1; // -1: the stored "ConversionsAtOnce"; 0: Auto
    TAskYesNo Ask;              // empty: a question box through Shell()
    TShowWarning Warn;          // empty: a warning box through Shell()
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
// encoder component, RunTasks converts them, several at once, and the component's events come
// back on the main thread as posted copies: row texts, progress figures, the preview picture
// and the ends of tasks and of the batch. Every call is made on the main thread, and none of
// them serves the main-thread queue: the end of a batch arrives through the event loop.
// Destroy the run before its encoder.
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
    // Text for the log (the hidden log memo): why a job failed or was not added.
    std::function<void(const std::string&)> OnLog;

    // The Start steps. False when a batch is under way, or with no checked row (after the
    // warning). rows must outlive the batch.
    bool Start(IBatchRows& rows, const TBatchRequest& request = {});
    // Converts the tasks made by Start on worker threads, ConversionsAtOnce() at a time.
    void RunTasks();
    void Pause();
    void Resume();
    // Asks every task to stop; returns at once. The end of the batch follows. A stopped
    // output is kept as the shorter file it is.
    void Stop();
    // For a program that is going: stops, waits plainly until every conversion thread has
    // ended (they never wait for the main thread) and ends the batch at once; the notices
    // still queued for it are dropped.
    void StopNow();
    // Stops like Stop, but the outputs of the stopped tasks are removed (the program is being
    // ended by a signal): their rows say "Interrupted".
    void Interrupt();

    bool Prepared() const { return state_ == TState::Prepared; }
    // From RunTasks until the end of the batch has been handled.
    bool Running() const { return state_ == TState::Running; }
    bool Paused() const { return paused_; }
    bool StopRequested() const { return stopRequested_; }
    // How many tasks the running batch converts at once (fixed by RunTasks).
    int ConversionsAtOnce() const { return conversionsAtOnce_; }

    // Element k: the row of task k.
    const std::vector<int>& TaskRows() const { return taskRows_; }
    int RowOfTask(int task) const;
    // The notice of the job on a row; empty when there is none.
    std::string NoticeOfRow(int row) const;
    int TaskCount() const { return static_cast<int>(taskRows_.size()); }
    // One per checked row, in row order.
    const std::vector<TBatchJob>& Jobs() const { return jobs_; }
    const TBatchJob* JobOfTask(int task) const;
    const TBatchProgress& Progress() const { return progress_; }
    void FollowWrittenFile() {
        if (Running()) {
            progress_.FollowWrittenFile();
        }
    }
    // The latest preview picture of the conversion.
    const TBitmap24& PreviewFrame() const { return previewFrame_; }
    // Where the batch writes its outputs.
    const std::string& OutputFolder() const { return outputFolder_; }

private:
    enum class TState { Idle, Prepared, Running };

    void InstallHandlers();
    void AddJobs(const TBatchRequest& request);
    void HandleProgress(const TProgressInfo& info);
    void HandlePreview(int task, const TBitmap24& bitmap);
    void HandleTerminate(const TTerminateInfo& info, const std::string& finalName);
    // On the delivery thread: the ended task's output renamed to its final name, or removed
    // (a failed task, or one stopped by Interrupt); a rename that fails fails the task.
    // Returns the output's final name (empty when the task reserved none).
    static std::string SettleOutput(TTaskOutputs& outputs, TTerminateInfo& info);
    void EndBatchWhenComplete();
    int AutoAtOnce() const;
    void Log(const std::string& text);
    template <typename Fn> void Notify(Fn fn);

    TCustomFFEncoder& encoder_;
    const TGlobalObject& global_;
    IBatchRows* rows_ = nullptr;
    std::vector<IBatchListener*> listeners_;
    THook hook_;
    std::function<void()> stopPreview_;
    int requestedAtOnce_ = -1;
    int conversionsAtOnce_ = 1;

    // Shared with the conversion threads, which finish or abandon a task's output as it ends.
    std::shared_ptr<TTaskOutputs> outputs_ = std::make_shared<TTaskOutputs>();
    TState state_ = TState::Idle;
    // Events of an earlier batch that arrive late are recognised by their generation.
    int generation_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    bool paused_ = false;
    bool stopRequested_ = false;
    bool batchEndArrived_ = false;
    int endedTasks_ = 0;

    std::vector<int> taskRows_;
    std::vector<TBatchJob> jobs_;
    std::string outputFolder_;
    TBatchProgress progress_;
    TBitmap24 previewFrame_;
};
