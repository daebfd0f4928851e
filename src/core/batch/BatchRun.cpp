#include "BatchRun.h"

#include "AppMessages.h"
#include "BatchBuilder.h"
#include "BatchMessages.h"
#include "CatalogFile.h"
#include "ConversionsAtOnce.h"
#include "CustomFFEncoder.h"
#include "FormatCatalog.h"
#include "GlobalObject.h"
#include "MainThread.h"
#include "Settings.h"
#include "ShellServices.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace {

// The stored work priority as the component's thread priority; nothing for an unknown index.
std::optional<TThreadPriority> ThreadPriorityOf(int index) {
    const auto priority = TSettings::PriorityOf(index);
    if (!priority) {
        return std::nullopt;
    }
    switch (*priority) {
    case TWorkPriority::Idle:
        return TThreadPriority::tpIdle;
    case TWorkPriority::Lower:
        return TThreadPriority::tpLower;
    case TWorkPriority::Lowest:
        return TThreadPriority::tpLowest;
    case TWorkPriority::Normal:
        break;
    }
    return TThreadPriority::tpNormal;
}

bool AskThroughShell(const std::string& text, const std::string& caption) {
    return Shell().MessageBox(text, caption, TMsgIcon::Question, TMsgButtons::YesNo) ==
           TMsgResult::Yes;
}

void WarnThroughShell(const std::string& text, const std::string& caption) {
    Shell().MessageBox(text, caption, TMsgIcon::Warning, TMsgButtons::Ok);
}

} // namespace

TBatchRun::TBatchRun(TCustomFFEncoder& encoder, const TGlobalObject& global, TMonotonicClock clock)
    : encoder_(encoder), global_(global), progress_(std::move(clock)) {}

TBatchRun::~TBatchRun() {
    if (Running()) {
        StopNow();
    } else if (Prepared()) {
        encoder_.ClearTasks();
    }
    outputs_->AbandonAll();
    // Posted notices that are still queued find the run gone.
    alive_.reset();
    encoder_.OnProgress = nullptr;
    encoder_.OnPreviewBitmap = nullptr;
    encoder_.OnTerminate = nullptr;
    encoder_.OnCustomHook = nullptr;
}

void TBatchRun::AddListener(IBatchListener& listener) {
    listeners_.push_back(&listener);
}

void TBatchRun::RemoveListener(IBatchListener& listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), &listener),
                     listeners_.end());
}

template <typename Fn> void TBatchRun::Notify(Fn fn) {
    // A listener may remove itself while being told.
    const std::vector<IBatchListener*> listeners = listeners_;
    for (IBatchListener* listener : listeners) {
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) {
            fn(*listener);
        }
    }
}

void TBatchRun::SetCustomHook(THook hook) {
    hook_ = std::move(hook);
}

void TBatchRun::SetStopPreview(std::function<void()> stopPreview) {
    stopPreview_ = std::move(stopPreview);
}

std::string TBatchRun::NoticeOfRow(int row) const {
    const auto job = std::find_if(jobs_.begin(), jobs_.end(),
                                  [row](const TBatchJob& j) { return j.Row == row; });
    return job != jobs_.end() ? job->Notice : std::string();
}

int TBatchRun::RowOfTask(int task) const {
    return task >= 0 && task < TaskCount() ? taskRows_[task] : -1;
}

const TBatchJob* TBatchRun::JobOfTask(int task) const {
    if (task < 0) {
        return nullptr;
    }
    const auto it = std::find_if(jobs_.begin(), jobs_.end(),
                                 [task](const TBatchJob& job) { return job.Task == task; });
    return it != jobs_.end() ? &*it : nullptr;
}

void TBatchRun::Log(const std::string& text) {
    if (OnLog) {
        OnLog(text);
    }
}

bool TBatchRun::Start(IBatchRows& rows, const TBatchRequest& request) {
    if (state_ != TState::Idle) {
        return false;
    }
    const TSettings settings(global_);
    if (const auto priority = ThreadPriorityOf(settings.PriorityIndex())) {
        encoder_.SetThreadPriority(*priority);
    }
    int checked = 0;
    for (int r = 0; r < rows.RowCount(); ++r) {
        checked += rows.Checked(r) ? 1 : 0;
    }
    if (checked == 0) {
        Shell().MessageBox(batchmsg::NoCheckedRow, appmsg::WarningCaption, TMsgIcon::Warning,
                           TMsgButtons::Ok);
        return false;
    }
    // Another format's output in its place would pass for the one asked for.
    const int formatCode = request.FormatCode >= 0 ? request.FormatCode : settings.FormatCode();
    if (!TFormatCatalog::IsFormatCode(formatCode) ||
        !TCatalogFile(global_.CatalogFile()).HasFormat(formatCode)) {
        const TShowWarning warn = request.Warn ? request.Warn : WarnThroughShell;
        warn(Format(appmsg::FormatNotInCatalog, formatCode), appmsg::WarningCaption);
        return false;
    }
    rows_ = &rows;
    // Unfinished files of runs on this host that died are cleared before new names are chosen.
    TOutputReservation::RemoveStale(request.OutputFolder.empty() ? settings.OutputDir()
                                                                 : request.OutputFolder);
    outputs_ = std::make_shared<TTaskOutputs>();
    taskRows_.clear();
    jobs_.clear();
    if (stopPreview_) {
        stopPreview_();
    }
    encoder_.ClearTasks();
    encoder_.SetTriggerEventInMainThread(true);
    encoder_.SetPreviewBitmap(request.PreviewPictures);
    previewFrame_.Clear();
    requestedAtOnce_ =
        request.ConversionsAtOnce >= 0 ? request.ConversionsAtOnce : settings.ConversionsAtOnce();
    AddJobs(request);

    ++generation_;
    paused_ = stopRequested_ = batchEndArrived_ = false;
    endedTasks_ = 0;
    InstallHandlers();
    state_ = TState::Prepared;
    return true;
}

void TBatchRun::AddJobs(const TBatchRequest& request) {
    TSettings settings(global_);
    const int formatCode = request.FormatCode >= 0 ? request.FormatCode : settings.FormatCode();
    TBatchBuilder builder(encoder_, settings,
                          TTaskOptionFiles{global_.SettingsFile(), global_.CatalogFile()},
                          request.Ask ? request.Ask : AskThroughShell,
                          request.Warn ? request.Warn : WarnThroughShell);
    builder.SetOutputFolder(request.OutputFolder);
    builder.SetZoomOverride(request.ZoomOverride);

    for (int r = 0; r < rows_->RowCount(); ++r) {
        if (!rows_->Checked(r)) {
            continue;
        }
        TBatchJob job;
        job.Row = r;
        job.Source = rows_->Caption(r);
        int task = -1;
        if (rows_->Missing(r)) {
            job.Outcome = TJobOutcome::NotAdded;
            job.Error = job.Source + ": " + std::strerror(ENOENT);
            rows_->SetProgress(r, batchmsg::RowMissing, job.Error);
            Log(job.Error);
            jobs_.push_back(std::move(job));
            continue;
        }
        try {
            task = builder.AddJob(rows_->Record(r), formatCode, outputs_, job.Error, job.Notice);
        } catch (const std::exception& e) {
            job.Error = e.what();
        }
        // Task indexes follow the jobs that got one, so TaskRows stays aligned with the rows.
        if (task >= 0) {
            job.Task = task;
            taskRows_.push_back(r);
            rows_->SetProgress(r, "", job.Notice);
            if (!job.Notice.empty()) {
                Log(job.Source + ": " + job.Notice);
            }
        } else {
            job.Outcome = TJobOutcome::NotAdded;
            rows_->SetProgress(r, batchmsg::RowFailed, job.Error);
            Log(job.Source + ": " + job.Error);
        }
        jobs_.push_back(std::move(job));
    }
    // Read after the jobs: a folder that could not be made has been replaced meanwhile.
    outputFolder_ = request.OutputFolder.empty() ? settings.OutputDir() : request.OutputFolder;
}

void TBatchRun::InstallHandlers() {
    const int generation = generation_;
    encoder_.OnProgress = [this, generation](TCustomFFEncoder&, PProgressInfo info) {
        if (generation == generation_) {
            HandleProgress(*info);
        }
    };
    encoder_.OnPreviewBitmap = [this, generation](TCustomFFEncoder&, const TPreviewInfo& info) {
        if (generation == generation_ && info.Bitmap != nullptr) {
            HandlePreview(info.TaskIndex, *info.Bitmap);
        }
    };
    // Runs on the component's delivery thread: the output is settled there, as the task ends,
    // and the rest is carried to the main thread.
    std::weak_ptr<int> alive = alive_;
    encoder_.OnTerminate = [this, generation, alive,
                            outputs = outputs_](TCustomFFEncoder&, const TTerminateInfo& ended) {
        TTerminateInfo info = ended;
        std::string finalName;
        if (info.TaskIndex >= 0) {
            finalName = SettleOutput(*outputs, info);
        }
        TMainThread::Post([this, generation, alive, info, finalName] {
            if (alive.lock() && generation == generation_) {
                HandleTerminate(info, finalName);
            }
        });
    };
    if (hook_) {
        // Copies: the conversion thread never reads what the main thread may change.
        encoder_.OnCustomHook = [hook = hook_, taskRows = taskRows_](TCustomFFEncoder&,
                                                                     PHookInfo info) {
            const int task = info->TaskIndex;
            hook(task >= 0 && task < static_cast<int>(taskRows.size()) ? taskRows[task] : -1,
                 *info);
        };
    } else {
        encoder_.OnCustomHook = nullptr;
    }
}

std::string TBatchRun::SettleOutput(TTaskOutputs& outputs, TTerminateInfo& info) {
    if (info.Exception || (!info.Finished && outputs.DiscardStopped())) {
        std::string finalName;
        std::string unfinishedName;
        outputs.Abandon(info.TaskIndex, &finalName, &unfinishedName);
        // The reason names the output as the person knows it.
        for (size_t at = 0; !unfinishedName.empty() &&
                            (at = info.ExceptionMsg.find(unfinishedName, at)) != std::string::npos;
             at += finalName.size()) {
            info.ExceptionMsg.replace(at, unfinishedName.size(), finalName);
        }
        return finalName;
    }
    std::string finalName;
    const int error = outputs.Finish(info.TaskIndex, &finalName);
    // A stopped task that wrote nothing (or never ran) has no file to keep.
    if (error != 0 && (info.Finished || (error != ENOENT && error != ENODATA))) {
        info.Finished = false;
        info.Exception = true;
        info.ExceptionMsg = finalName + ": " + std::strerror(error);
    }
    return finalName;
}

void TBatchRun::RunTasks() {
    if (state_ != TState::Prepared) {
        return;
    }
    state_ = TState::Running;
    // Lengths from the probe made when the file was added: no task has opened its file yet.
    // A task's own reports give the exact length once it runs.
    std::vector<TBatchProgress::TTaskFacts> facts;
    for (const TBatchJob& job : jobs_) {
        if (job.Task >= 0) {
            const TlvFilesRecord& record = rows_->Record(job.Row);
            std::int64_t length = -1;
            if (record.TrimLength > 0) {
                length = record.TrimLength;
            } else if (record.LengthSeconds > 0) {
                length = std::max<std::int64_t>(std::int64_t{record.LengthSeconds} * 1000000 -
                                                    std::max<std::int64_t>(record.TrimStart, 0),
                                                -1);
            }
            facts.push_back({job.Source, length > 0 ? length : -1});
        }
    }
    progress_.Begin(std::move(facts));
    conversionsAtOnce_ = requestedAtOnce_ > 0 ? requestedAtOnce_ : AutoAtOnce();
    encoder_.StartTask(std::clamp(conversionsAtOnce_, 1, std::max(TaskCount(), 1)));
}

int TBatchRun::AutoAtOnce() const {
    // Every task of a batch has the same format: the first one speaks for all.
    for (const TBatchJob& job : jobs_) {
        if (job.Task >= 0) {
            if (const TFFmpeg* task = encoder_.Task(job.Task); task && task->OutputOptions[0]) {
                return AutoConversionsAtOnce(*task->OutputOptions[0], HardwareThreads());
            }
        }
    }
    return 1;
}

void TBatchRun::Pause() {
    if (Running() && !paused_ && !stopRequested_) {
        encoder_.Pause();
        progress_.Pause();
        paused_ = true;
    }
}

void TBatchRun::Resume() {
    if (Running() && paused_) {
        encoder_.Resume();
        progress_.Resume();
        paused_ = false;
    }
}

void TBatchRun::Stop() {
    if (state_ == TState::Prepared) {
        // Never started: nothing converts, every job that had a task is stopped, or
        // interrupted when a signal ends the program.
        stopRequested_ = true;
        encoder_.ClearTasks();
        outputs_->AbandonAll();
        const bool interrupted = outputs_->DiscardStopped();
        for (TBatchJob& job : jobs_) {
            if (job.Task >= 0) {
                job.Outcome = interrupted ? TJobOutcome::Interrupted : TJobOutcome::Stopped;
                rows_->SetProgress(
                    job.Row, interrupted ? batchmsg::RowInterrupted : batchmsg::RowStopped, "");
            }
        }
        state_ = TState::Idle;
        Notify([](IBatchListener& l) { l.BatchEnded(true); });
        return;
    }
    if (!Running() || stopRequested_) {
        return;
    }
    stopRequested_ = true;
    if (paused_) {
        progress_.Resume();
        paused_ = false;
    }
    encoder_.Stop(false);
}

void TBatchRun::Interrupt() {
    // Also when a stop was asked for earlier: tasks that have not ended yet are discarded.
    outputs_->SetDiscardStopped();
    Stop();
}

void TBatchRun::StopNow() {
    if (state_ == TState::Prepared) {
        Stop();
        return;
    }
    if (!Running()) {
        return;
    }
    stopRequested_ = true;
    paused_ = false;
    encoder_.Stop(true);
    // Every task has ended and the encoder has handed over the end of the batch; what it
    // posted for this batch is left to find a newer generation.
    ++generation_;
    try {
        encoder_.ClearTasks(); // waits until every output has been settled
    } catch (const std::exception&) {
        // A notice still on its way; the encoder's own end deals with its task.
    }
    outputs_->AbandonAll();
    const bool interrupted = outputs_->DiscardStopped();
    for (TBatchJob& job : jobs_) {
        if (job.Task >= 0 && job.Outcome == TJobOutcome::Queued) {
            job.Outcome = interrupted ? TJobOutcome::Interrupted : TJobOutcome::Stopped;
            rows_->SetProgress(job.Row,
                               interrupted ? batchmsg::RowInterrupted : batchmsg::RowStopped, "");
        }
    }
    state_ = TState::Idle;
    Notify([](IBatchListener& l) { l.BatchEnded(true); });
}

void TBatchRun::HandleProgress(const TProgressInfo& info) {
    const int row = RowOfTask(info.TaskIndex);
    if (row < 0 || !Running()) {
        return;
    }
    // The size shown is the unfinished file's, which the task reserved when it started.
    progress_.SetWritingFile(info.TaskIndex, outputs_->WritingFile(info.TaskIndex));
    progress_.Report(info);
    rows_->SetProgress(row, progress_.PercentTextOf(info.TaskIndex), NoticeOfRow(row));
    Notify([&info](IBatchListener& l) { l.BatchProgress(info); });
}

void TBatchRun::HandlePreview(int task, const TBitmap24& bitmap) {
    // The picture shows the most recently started of the files running.
    const int newest = progress_.NewestRunning();
    if (bitmap.Empty() || !Running() || (newest >= 0 && task != newest)) {
        return;
    }
    previewFrame_ = bitmap;
    Notify([](IBatchListener& l) { l.BatchPreviewFrame(); });
}

void TBatchRun::HandleTerminate(const TTerminateInfo& info, const std::string& finalName) {
    if (!Running()) {
        return;
    }
    if (info.TaskIndex < 0) {
        batchEndArrived_ = true;
        EndBatchWhenComplete();
        return;
    }
    auto job = std::find_if(jobs_.begin(), jobs_.end(),
                            [&info](const TBatchJob& j) { return j.Task == info.TaskIndex; });
    if (job == jobs_.end() || job->Outcome != TJobOutcome::Queued) {
        return;
    }
    ++endedTasks_;
    // The name its task reserved when it started (none when it never started).
    if (!finalName.empty()) {
        job->OutputFile = finalName;
        // The row names the file written (the list predicted it, this is the fact).
        rows_->Record(job->Row).OutputFile = finalName;
    }
    if (info.Exception) {
        job->Outcome = TJobOutcome::Failed;
        job->Error = info.ExceptionMsg;
        rows_->SetProgress(job->Row, batchmsg::RowFailed, info.ExceptionMsg);
        Log(job->Source + ": " + info.ExceptionMsg);
    } else if (info.Finished) {
        job->Outcome = TJobOutcome::Converted;
        rows_->SetProgress(job->Row, "100%", job->Notice);
    } else if (outputs_->DiscardStopped()) {
        job->Outcome = TJobOutcome::Interrupted;
        rows_->SetProgress(job->Row, batchmsg::RowInterrupted, "");
    } else {
        job->Outcome = TJobOutcome::Stopped;
        rows_->SetProgress(job->Row, batchmsg::RowStopped, "");
    }
    progress_.TaskEnded(info.TaskIndex, job->Outcome == TJobOutcome::Converted);
    const bool lastTask = info.TaskIndex == TaskCount() - 1;
    const TBatchJob ended = *job;
    Notify([&](IBatchListener& l) { l.BatchTaskEnded(ended, info, lastTask); });
    EndBatchWhenComplete();
}

void TBatchRun::EndBatchWhenComplete() {
    // The end of the batch may overtake the last task's own notice: both must have arrived.
    if (!batchEndArrived_ || endedTasks_ < TaskCount() || !Running()) {
        return;
    }
    encoder_.ClearTasks();
    // Tasks that never started.
    outputs_->AbandonAll();
    state_ = TState::Idle;
    paused_ = false;
    const bool stopped = stopRequested_;
    Notify([stopped](IBatchListener& l) { l.BatchEnded(stopped); });
}
