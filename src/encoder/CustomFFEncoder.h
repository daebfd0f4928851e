#pragma once

#include "AVProbe.h"
#include "EncoderEvents.h"
#include "EncoderOptions.h"
#include "FFBaseComponent.h"
#include "FFmpegList.h"

#include <atomic>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The encoder component: a list of conversion tasks built from option records, run one after
// another on worker threads, reporting through four events.
class TCustomFFEncoder : public TFFBaseComponent {
public:
    TCustomFFEncoder();
    ~TCustomFFEncoder() override;

    bool LoadLibraries(const std::string& folder);
    bool LibrariesLoaded() const;

    int AddTask(const std::string& fileName, const TInputOptions* inputOptions);
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
    void EndOfBatch();
    void DeliverTerminate(const TTerminateInfo& info);
    void ApplyOutputOptions(TFFmpeg& task, const TOutputOptions& options);
    std::uint8_t PreviewFlagsValue() const;
    int IndexOf(const TCustomFFmpeg& task) const;
    void ReapTerminateThreads(bool all);
    // Waits until every terminate handler started on a thread of its own has returned, except
    // the calling one and those that themselves wait here.
    void WaitForTerminateDeliveries();
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

    std::mutex hookLock_;
    std::mutex previewLock_;
    std::mutex progressLock_;
    std::recursive_mutex terminateLock_;
    THookInfo hookInfo_;
    TPreviewInfo previewInfo_;
    TProgressInfo progressInfo_;

    struct TerminateThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
        std::shared_ptr<std::atomic<bool>> clearing; // its handler called ClearTasks
    };
    std::mutex terminateThreadsMutex_;
    std::condition_variable terminateDelivered_;
    std::list<TerminateThread> terminateThreads_;
};
