#include "JobListStore.h"

#include "BatchMessages.h"
#include "OutputReservation.h"

#include <cerrno>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr const char* DoneText = "100%";

} // namespace

TJobListStore::TJobListStore(TJobList& jobs, std::string path, TScheduler schedule)
    : jobs_(jobs), path_(std::move(path)), schedule_(std::move(schedule)) {
    writer_ = std::thread([this] { WriterLoop(); });
    jobs_.AddObserver(this);
}

TJobListStore::~TJobListStore() {
    jobs_.RemoveObserver(this);
    alive_.reset();
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    writer_.join();
}

void TJobListStore::RemoveUnfinished(const TSavedJob& job) {
    // The writer is gone: its unfinished file in that folder is stale, and goes with the empty
    // reservation of the final name. Finished outputs are never touched.
    if (!job.ConvertingIn.empty()) {
        TOutputReservation::RemoveStale(job.ConvertingIn);
    }
}

TJobState TJobListStore::StateOf(const std::string& progressText) {
    if (progressText.empty()) {
        return TJobState::None;
    }
    if (progressText == DoneText) {
        return TJobState::Done;
    }
    const std::pair<const char*, TJobState> named[] = {
        {batchmsg::RowFailed, TJobState::Failed},
        {batchmsg::RowStopped, TJobState::Stopped},
        {batchmsg::RowInterrupted, TJobState::Interrupted},
        {batchmsg::RowMissing, TJobState::Missing},
    };
    for (const auto& [text, state] : named) {
        if (progressText == text) {
            return state;
        }
    }
    // A percentage (or "?") while the row converts.
    return TJobState::Converting;
}

std::string TJobListStore::ProgressText(TJobState state) {
    switch (state) {
    case TJobState::None:
    case TJobState::Converting:
        return {};
    case TJobState::Done:
        return DoneText;
    case TJobState::Failed:
        return batchmsg::RowFailed;
    case TJobState::Stopped:
        return batchmsg::RowStopped;
    case TJobState::Interrupted:
        return batchmsg::RowInterrupted;
    case TJobState::Missing:
        return batchmsg::RowMissing;
    }
    return {};
}

std::vector<TSavedJob> TJobListStore::Snapshot(const TJobList& jobs,
                                               const TOutputOfRow& outputOfRow) {
    std::vector<TSavedJob> saved(static_cast<std::size_t>(jobs.Count()));
    for (int row = 0; row < jobs.Count(); ++row) {
        TSavedJob& job = saved[static_cast<std::size_t>(row)];
        job.Record = jobs.Record(row);
        job.Checked = jobs.Checked(row);
        job.TrimmedLength = jobs.Cell(row, TJobColumn::TrimmedLength);
        job.State = StateOf(jobs.Progress(row));
        job.Hint = jobs.ProgressHint(row);
        if (job.State == TJobState::Converting && outputOfRow) {
            job.ConvertingIn = outputOfRow(row);
        }
    }
    return saved;
}

TJobListStore::TLight TJobListStore::LightOf(int row) const {
    return {jobs_.Checked(row), StateOf(jobs_.Progress(row)),
            jobs_.Cell(row, TJobColumn::TrimmedLength), jobs_.ProgressHint(row)};
}

TJobListRestore TJobListStore::Restore(const TRemoveUnfinished& removeUnfinished) {
    TJobListRestore result;
    if (!enabled_) {
        return result;
    }
    TJobListReadResult read = TJobListFile::Read(path_);
    if (read.Status == TJobListReadResult::TStatus::Rejected) {
        result.Rejected = true;
        result.Problem = read.Problem;
        result.Backup = read.Backup;
        return result;
    }
    restoring_ = true;
    for (TSavedJob& job : read.Jobs) {
        if (jobs_.Contains(job.Record.SourceFile)) {
            continue;
        }
        TJobState state = job.State;
        bool checked = job.Checked;
        if (state == TJobState::Converting) {
            if (removeUnfinished) {
                removeUnfinished(job);
            }
            state = TJobState::Interrupted;
        } else if (state == TJobState::Done) {
            checked = false;
        }
        std::error_code ec;
        if (!std::filesystem::exists(job.Record.SourceFile, ec)) {
            state = TJobState::Missing;
        } else if (state == TJobState::Missing) {
            state = TJobState::None;
        }
        const int row = jobs_.Append(std::make_unique<TlvFilesRecord>(std::move(job.Record)));
        jobs_.SetChecked(row, checked);
        if (!job.TrimmedLength.empty()) {
            jobs_.SetTrimmedLength(row, job.TrimmedLength);
        }
        jobs_.SetProgress(row, ProgressText(state),
                          state == TJobState::Failed ? job.Hint : std::string());
        ++result.Rows;
    }
    restoring_ = false;
    if (result.Rows > 0) {
        jobs_.Select(0);
        // What changed on the way in (interrupted, unchecked, missing) is kept at once.
        Schedule();
    }
    return result;
}

void TJobListStore::SetEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    if (enabled_) {
        TakeSnapshot();
    } else {
        saved_.clear();
        TRequest remove;
        remove.remove = true;
        Submit(std::move(remove));
    }
}

void TJobListStore::JobChanged(int row) {
    // A new percentage of a converting row is not worth a write.
    if (row >= 0 && row < static_cast<int>(saved_.size()) &&
        saved_[static_cast<std::size_t>(row)] == LightOf(row)) {
        return;
    }
    Schedule();
}

void TJobListStore::JobRecordChanged(int) {
    Schedule();
}

void TJobListStore::Schedule() {
    if (!enabled_ || scheduled_ || restoring_) {
        return;
    }
    scheduled_ = true;
    std::weak_ptr<int> alive = alive_;
    schedule_(CoalesceMs, [this, alive] {
        if (alive.lock()) {
            scheduled_ = false;
            TakeSnapshot();
        }
    });
}

void TJobListStore::TakeSnapshot() {
    if (!enabled_) {
        return;
    }
    TRequest request;
    request.jobs = Snapshot(jobs_, outputOfRow_);
    saved_.clear();
    saved_.reserve(request.jobs.size());
    for (int row = 0; row < jobs_.Count(); ++row) {
        saved_.push_back(LightOf(row));
    }
    Submit(std::move(request));
}

void TJobListStore::Submit(TRequest request) {
    {
        const std::lock_guard lock(mutex_);
        // A snapshot not yet written is replaced by the newer one.
        pending_ = std::move(request);
        ++submitted_;
    }
    wake_.notify_one();
}

void TJobListStore::Flush() {
    // Only changes not yet taken need a snapshot; the list as last taken is being written.
    if (enabled_ && scheduled_) {
        scheduled_ = false;
        TakeSnapshot();
    }
    std::unique_lock lock(mutex_);
    const std::uint64_t wanted = submitted_;
    written_.wait(lock, [&] { return finished_ >= wanted; });
}

int TJobListStore::WriteCount() const {
    const std::lock_guard lock(mutex_);
    return writeCount_;
}

int TJobListStore::LastError() const {
    const std::lock_guard lock(mutex_);
    return lastError_;
}

void TJobListStore::WriterLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || pending_.has_value(); });
        if (!pending_) {
            return; // stopping with nothing left to write
        }
        TRequest request = std::move(*pending_);
        pending_.reset();
        const std::uint64_t covers = submitted_;
        lock.unlock();
        int error = 0;
        if (request.remove) {
            if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
                error = errno;
            }
        } else {
            error = TJobListFile::Write(path_, request.jobs);
        }
        lock.lock();
        lastError_ = error;
        ++writeCount_;
        finished_ = covers;
        written_.notify_all();
    }
}
