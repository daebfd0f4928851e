#pragma once

#include "AVProbe.h"
#include "EncoderEvents.h"
#include "EncoderOptions.h"
#include "FFBaseComponent.h"
#include "FFmpegList.h"
#include "TerminateDelivery.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The encoder component: a list of conversion tasks built from option records, run on worker
// threads (StartTask(N): N at once, started in list order), reporting through four events.
// Progress and preview events reach the main thread as posted copies; terminate events come
// from one delivery thread, in order; the per-frame hook runs on the worker.
class TCustomFFEncoder : public TFFBaseComponent {
public:
    using TChooseOutput = std::function<std::string(int taskIndex)>;
    // A task that holds no file while it waits: when it starts, on its worker and in list
    // order, its output name is chosen, then its input is opened and its output set.
    struct TQueuedTask {
        std::string InputFile;
        std::optional<TInputOptions> Input;
        TOutputOptions Output; // FileName: ChooseOutput's answer, when there is one
        // Chooses (and reserves) the output name of the task with the index given; throws with
        // the reason it cannot.
        TChooseOutput ChooseOutput;
    };

    TCustomFFEncoder();
    ~TCustomFFEncoder() override;

    bool LoadLibraries(const std::string& folder);
    bool LibrariesLoaded() const;

    int AddTask(const std::string& fileName, const TInputOptions* inputOptions);
    // Adds a task that opens nothing now; its failures to open are reported by its end.
    int AddQueuedTask(TQueuedTask task);
    bool SetOutputFile(int taskIndex, const std::string& fileName,
                       const TOutputOptions* outputOptions);
    void RemoveTask(int taskIndex);
    void ClearTasks();
    void StartTask(int threadCount);
    void Pause();
    void Resume();
    void Stop(bool wait);

    int TaskCount() const;
    // A task of the list, for inspection; null for an index out of range.
    const TFFmpeg* Task(int taskIndex) const;
    TAVProbe& Probe() { return probe_; }
    TAVProbe* InputProbe(int taskIndex, int fileIndex) const;
    std::string LastErrorText() const;
    static std::string Version();
    std::string About;

    bool Preview() const { return preview_; }
    void SetPreview(bool value);
    bool PreviewBitmap() const { return previewBitmap_; }
    void SetPreviewBitmap(bool value);
    int ProgressInterval() const { return progressInterval_; }
    void SetProgressInterval(int milliseconds);
    TThreadPriority ThreadPriority() const { return priority_; }
    void SetThreadPriority(TThreadPriority priority) { priority_ = priority; }
    bool TriggerEventInMainThread() const { return triggerInMainThread_; }
    void SetTriggerEventInMainThread(bool value) { triggerInMainThread_ = value; }

    // Events; assign before StartTask.
    TCustomHookEvent OnCustomHook;
    TPreviewBitmapEvent OnPreviewBitmap;
    TProgressEvent OnProgress;
    TTerminateEvent OnTerminate;

protected:
    // Dispatchers the component stores in each task's callbacks.
    virtual void DoCustomHook(TCustomFFmpeg& task, TBitmap24& bitmap, int frameNumber,
                              std::int64_t pts, bool& update, bool& stopHook);
    virtual void DoPreviewBitmap(TCustomFFmpeg& task, const TBitmap24& bitmap, int frameNumber,
                                 std::int64_t pts);
    virtual void DoProgress(TCustomFFmpeg& task, int fileIndex, int frameNumber, int fps,
                            float quality, float bitRate, std::int64_t currentSize,
                            std::int64_t currentDuration, std::int64_t totalDuration);
    virtual void DoTerminate(TCustomFFmpeg* task);

private:
    void CheckNotWorking(const char* operation) const;
    void StartNextTask();
    // The bookkeeping of a task's end under the terminate lock; true when the next task is to
    // be started (after the lock is released).
    bool TakeTerminate(TCustomFFmpeg* task, const TTerminateInfo& info);
    // The tasks of the list, copied under its lock.
    std::vector<TFFmpeg*> ListedTasks() const;
    void EndOfBatch();
    // task: the ended task (null for the end of the batch).
    void DeliverTerminate(const TTerminateInfo& info, TCustomFFmpeg* task);
    // The configuration steps of AddTask and SetOutputFile; FFmpegException with the reason.
    // queued: the task's option contexts wait for its start.
    void InstallHandlers(TFFmpeg& task, bool queued = false);
    void OpenInput(TFFmpeg& task, const std::string& fileName, const TInputOptions* inputOptions);
    void OpenOutput(TFFmpeg& task, const std::string& fileName,
                    const TOutputOptions* outputOptions);
    void PrepareQueued(TFFmpeg& task, const std::string& inputFile,
                       const TChooseOutput& chooseOutput);
    // Queued tasks take their turns in list order: a task prepares once every earlier one has
    // prepared or ended (or it is asked to stop).
    void WaitForTurn(const TFFmpeg& task, int index);
    void TurnTaken(int index);
    std::uint8_t PreviewFlagsValue() const;
    int IndexOf(const TCustomFFmpeg& task) const;
    void DestroyRetired();

    mutable std::recursive_mutex listMutex_;
    TFFmpegList tasks_;
    // Tasks cleared while one of their own calls was on the stack; destroyed once it returned.
    std::vector<std::unique_ptr<TFFmpeg>> retired_;
    TAVProbe probe_;
    mutable std::mutex errorMutex_;
    std::string lastErrorText_;

    bool preview_ = false;
    bool previewBitmap_ = false;
    int progressInterval_ = 500;
    TThreadPriority priority_ = TThreadPriority::tpNormal;
    bool triggerInMainThread_ = true;

    // Batch bookkeeping, under the terminate lock.
    int finishedCount_ = 0;
    int nextTask_ = -1;
    int pendingTasks_ = 0;
    bool threaded_ = false;
    std::atomic<bool> batchActive_{false};
    std::atomic<bool> allTerminated_{false};

    std::recursive_mutex terminateLock_;
    std::mutex turnMutex_;
    std::condition_variable turnChanged_;
    std::vector<char> turnTaken_;
    int turnFront_ = 0; // every task before it has taken its turn
    // Posted events that run after the component is gone find this expired.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    // Last: joined first, while everything its handlers may use still exists.
    TTerminateDelivery delivery_;
};
