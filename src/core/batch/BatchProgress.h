#pragma once

#include "EncoderEvents.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Microseconds of a monotonic clock.
using TMonotonicClock = std::function<std::int64_t()>;
std::int64_t SteadyClockMicroseconds();

// The figures of a running batch, as both front ends show them: the current task's (with
// several running, the most recently started one's) percentage and labels, the remaining time of
// the file and of the batch from the encoding speed (paused time left out), and the batch's overall
// percentage. Fed on the main thread by the batch run; the clock is injectable so the estimates can
// be checked.
class TBatchProgress {
public:
    struct TTaskFacts {
        std::string Caption;              // the row caption (source path)
        std::int64_t ExpectedLength = -1; // microseconds of output; -1 unknown
    };

    explicit TBatchProgress(TMonotonicClock clock = SteadyClockMicroseconds);

    void Begin(std::vector<TTaskFacts> tasks);
    // The file a task writes into (known once it has started); its size is the one shown.
    void SetWritingFile(int task, std::string path);
    void Report(const TProgressInfo& info);
    // Between two reports the file keeps growing; the size shown follows it on disk.
    void FollowWrittenFile();
    // A task's end; finished when it ran to its end without error.
    void TaskEnded(int task, bool finished);
    void Pause();
    void Resume();
    bool Paused() const { return paused_; }

    int TaskCount() const { return static_cast<int>(tasks_.size()); }
    // The task of the latest report or end; -1 before the first.
    int CurrentTask() const { return current_; }
    // 0..100; -1 when the output length is unknown.
    int Percent() const { return percent_; }
    // The length is unknown: the bar moves without a value.
    bool Busy() const { return current_ >= 0 && percent_ < 0; }
    std::string PercentText() const;
    // The percentage of one task's latest report ("" before it); for its job-list cell.
    std::string PercentTextOf(int task) const;
    // 0..100 of one task's latest report; -1 when unknown or before it.
    int TaskPercent(int task) const;
    int Fps() const { return fps_; }

    // Tasks that have reported and not ended, oldest first: the files converting at once.
    std::vector<int> RunningTasks() const;
    // The most recently started of them (-1 for none).
    int NewestRunning() const;
    // One line of a running task: its short name, percentage and converted time.
    std::string RunningLine(int task) const;
    // What the bar shows: the current file's percentage with one file running, the whole
    // batch's (by media converted) with several; -1 when unknown.
    int BarPercent() const;

    // Label texts of the current task; empty before its first report.
    std::string TimeText() const;
    std::string LengthText() const;
    // The size of the file the current task writes, read from the disk at each report (the
    // library's own count stays behind its buffers); the reported size when the file is unknown.
    std::string SizeText() const;
    const std::string& WritingPath() const;
    std::string CounterText() const;
    std::string FileText() const;

    // Microseconds; -1 while unknown.
    std::int64_t RemainingFile() const;
    std::int64_t RemainingBatch() const;
    std::string RemainingFileText() const;
    std::string RemainingBatchText() const;
    // 0..100 over the whole batch; ended tasks count as done.
    int OverallPercent() const;
    std::string TitleText() const;

    // current × 100 div total, within 0..100; -1 when total is not above 0.
    static int PercentOf(std::int64_t current, std::int64_t total);
    // The caption when shorter than 51 characters, else its first 44 + ".." + its extension.
    static std::string ShortFileName(const std::string& caption);
    // hh:mm:ss of whole seconds; UnknownClock for a negative value.
    static std::string ClockText(std::int64_t microseconds);

private:
    struct TTaskState {
        TTaskFacts Facts;
        std::string WritingFile;
        std::int64_t Current = 0;
        std::int64_t StartActive = -1;
        std::int64_t LastReportActive = -1;
        int Percent = -1;
        int StartOrder = -1; // order of its first report
        bool Ended = false;
    };

    std::int64_t ActiveNow() const;
    // The media already converted in the batch, the current task's share included.
    std::int64_t MediaDone() const;

    TMonotonicClock clock_;
    std::vector<TTaskState> tasks_;
    int current_ = -1;
    int startedCount_ = 0;
    bool reported_ = false;
    TProgressInfo last_;
    int percent_ = 0;
    int fps_ = 0;
    std::int64_t writtenSize_ = 0;

    // Active (not paused) time since Begin.
    std::int64_t activeBase_ = 0;
    std::int64_t segmentStart_ = 0;
    bool paused_ = false;

    // Estimates at the latest report; they count down with active time after it.
    std::int64_t fileRemaining_ = -1;
    std::int64_t batchRemaining_ = -1;
    std::int64_t estimateActive_ = 0;
};
