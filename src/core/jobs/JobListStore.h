#pragma once

#include "JobList.h"
#include "JobListFile.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// What a restore found, for the message the window shows.
struct TJobListRestore {
    int Rows = 0;
    bool Rejected = false;
    std::string Problem; // why the saved list was refused
    std::string Backup;  // where it was kept; empty when it could not be moved
};

// Keeps the job list in a file across runs. Every change of what a row keeps (rows added or
// removed, check boxes, cells, job records, and the state of its "Progress" cell, not each
// percent) schedules a save; the changes of one burst become one snapshot, taken on the
// window thread, which a writer thread of its own writes into a temporary file renamed over
// the list. The window thread never waits for a write except in Flush. Restore reads the list
// back at start, trusting nothing in it.
class TJobListStore final : private IJobListObserver {
public:
    // Runs fn on the window thread after about delayMs, unless the owner is gone by then.
    using TScheduler = std::function<void(int delayMs, std::function<void()> fn)>;
    // The folder a running conversion writes the row's output into, or empty.
    using TOutputOfRow = std::function<std::string(int row)>;
    // Removes what an interrupted conversion left (the row's unfinished output).
    using TRemoveUnfinished = std::function<void(const TSavedJob&)>;

    static constexpr int CoalesceMs = 100;

    TJobListStore(TJobList& jobs, std::string path, TScheduler schedule);
    ~TJobListStore() override;
    TJobListStore(const TJobListStore&) = delete;
    TJobListStore& operator=(const TJobListStore&) = delete;

    const std::string& Path() const { return path_; }

    // Appends the saved rows to the list (call it on an empty list, before anything else is
    // added). Sources are only checked to exist: a missing one shows "Missing"; a row that was
    // converting shows "Interrupted" and what its conversion left is removed; a finished row
    // shows "100%" and comes back unchecked.
    TJobListRestore Restore(const TRemoveUnfinished& removeUnfinished);

    // Off: nothing is saved and the saved list is removed; on: the list is saved at once.
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    void SetRunningOutput(TOutputOfRow outputOfRow) { outputOfRow_ = std::move(outputOfRow); }

    // Saves what changed since the last snapshot and waits until the file is written (at the
    // end of the program).
    void Flush();
    // Writes finished so far, and the errno of the last failed one (0 when it succeeded).
    int WriteCount() const;
    int LastError() const;

    // Removes what a conversion cut off by the end of the program left for the row: the
    // unfinished file beside the output it was making, and that output's empty reservation.
    static void RemoveUnfinished(const TSavedJob& job);

    static TJobState StateOf(const std::string& progressText);
    static std::string ProgressText(TJobState state);
    // The rows as saved.
    static std::vector<TSavedJob> Snapshot(const TJobList& jobs, const TOutputOfRow& outputOfRow);

private:
    struct TLight {
        bool checked;
        TJobState state;
        std::string trimmed;
        std::string hint;
        bool operator==(const TLight&) const = default;
    };
    struct TRequest {
        bool remove = false;
        std::vector<TSavedJob> jobs;
    };

    TLight LightOf(int row) const;
    void Schedule();
    void TakeSnapshot();
    void Submit(TRequest request);
    void WriterLoop();

    void JobsAboutToBeInserted(int, int) override {}
    void JobsInserted() override { Schedule(); }
    void JobsAboutToBeRemoved(int, int) override {}
    void JobsRemoved() override { Schedule(); }
    void JobChanged(int row) override;
    void JobRecordChanged(int row) override;
    void JobColumnsAboutToChange() override {}
    void JobColumnsChanged() override {}
    void JobSelectionChanged(int) override {}

    TJobList& jobs_;
    std::string path_;
    TScheduler schedule_;
    TOutputOfRow outputOfRow_;
    bool enabled_ = true;
    bool scheduled_ = false;
    bool restoring_ = false;
    std::vector<TLight> saved_; // the rows as last snapshotted
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::optional<TRequest> pending_;
    std::uint64_t submitted_ = 0;
    std::uint64_t finished_ = 0;
    int writeCount_ = 0;
    int lastError_ = 0;
    bool stop_ = false;
    std::thread writer_;
};
