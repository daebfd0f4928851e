#include "BatchProgress.h"

#include "BatchMessages.h"
#include "MediaUtils.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace {

constexpr int MaxShownChars = 50;
constexpr int KeptChars = 44;

bool IsUtf8Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

int CharCount(const std::string& text) {
    return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) {
        return !IsUtf8Continuation(static_cast<unsigned char>(c));
    }));
}

// The first n characters, never cutting one in half.
std::string LeftChars(const std::string& text, int n) {
    size_t end = 0;
    for (int count = 0; end < text.size() && count < n; ++count) {
        ++end;
        while (end < text.size() && IsUtf8Continuation(static_cast<unsigned char>(text[end]))) {
            ++end;
        }
    }
    return text.substr(0, end);
}

// Remaining media at a speed of media per active microsecond; -1 when unknown.
std::int64_t RemainingAt(std::int64_t media, double speed) {
    if (media < 0 || speed <= 0) {
        return -1;
    }
    return static_cast<std::int64_t>(static_cast<double>(media) / speed);
}

} // namespace

std::int64_t SteadyClockMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TBatchProgress::TBatchProgress(TMonotonicClock clock) : clock_(std::move(clock)) {}

void TBatchProgress::SetWritingFile(int task, std::string path) {
    if (task >= 0 && task < TaskCount() && !path.empty()) {
        tasks_[task].WritingFile = std::move(path);
    }
}

void TBatchProgress::Begin(std::vector<TTaskFacts> tasks) {
    tasks_.clear();
    for (TTaskFacts& facts : tasks) {
        TTaskState state;
        state.Facts = std::move(facts);
        tasks_.push_back(std::move(state));
    }
    if (!tasks_.empty()) {
        tasks_.front().StartActive = 0;
    }
    current_ = -1;
    startedCount_ = 0;
    reported_ = false;
    last_ = TProgressInfo{};
    percent_ = 0;
    fps_ = 0;
    activeBase_ = 0;
    segmentStart_ = clock_();
    paused_ = false;
    fileRemaining_ = batchRemaining_ = -1;
    estimateActive_ = 0;
}

std::int64_t TBatchProgress::ActiveNow() const {
    return activeBase_ + (paused_ ? 0 : clock_() - segmentStart_);
}

void TBatchProgress::Pause() {
    if (!paused_) {
        activeBase_ = ActiveNow();
        paused_ = true;
    }
}

void TBatchProgress::Resume() {
    if (paused_) {
        segmentStart_ = clock_();
        paused_ = false;
    }
}

std::int64_t TBatchProgress::MediaDone() const {
    std::int64_t done = 0;
    for (const TTaskState& task : tasks_) {
        done += std::max<std::int64_t>(task.Current, 0);
    }
    return done;
}

void TBatchProgress::Report(const TProgressInfo& info) {
    if (info.TaskIndex < 0 || info.TaskIndex >= TaskCount()) {
        return;
    }
    const std::int64_t active = ActiveNow();
    TTaskState& task = tasks_[info.TaskIndex];
    if (task.StartActive < 0) {
        // Its start was not seen: the previous task's last report is the nearest point.
        task.StartActive =
            info.TaskIndex > 0
                ? std::max<std::int64_t>(tasks_[info.TaskIndex - 1].LastReportActive, 0)
                : 0;
    }
    if (info.TotalDuration > 0) {
        task.Facts.ExpectedLength = info.TotalDuration;
    }
    task.Current = std::max<std::int64_t>(info.CurrentDuration, 0);
    task.LastReportActive = active;
    task.Percent = PercentOf(info.CurrentDuration, info.TotalDuration);
    if (task.StartOrder < 0) {
        task.StartOrder = startedCount_++;
    }
    // With several running, the labels follow the most recently started file.
    if (info.FileIndex >= 0 && info.TaskIndex != NewestRunning()) {
        return;
    }
    current_ = info.TaskIndex;
    reported_ = true;
    last_ = info;
    percent_ = PercentOf(info.CurrentDuration, info.TotalDuration);
    fps_ = std::max(info.FPS, 0);
    writtenSize_ = std::max<std::int64_t>(info.CurrentSize, 0);
    FollowWrittenFile();

    const std::int64_t fileActive = active - task.StartActive;
    const double fileSpeed =
        fileActive > 0 ? static_cast<double>(task.Current) / static_cast<double>(fileActive) : 0;
    const std::int64_t fileLeft =
        info.TotalDuration > 0 ? std::max<std::int64_t>(info.TotalDuration - task.Current, 0) : -1;
    fileRemaining_ = RemainingAt(fileLeft, fileSpeed);

    std::int64_t laterMedia = 0;
    for (int k = info.TaskIndex + 1; k < TaskCount() && laterMedia >= 0; ++k) {
        const std::int64_t length = tasks_[k].Facts.ExpectedLength;
        laterMedia = tasks_[k].Ended ? laterMedia : length > 0 ? laterMedia + length : -1;
    }
    const double batchSpeed =
        active > 0 ? static_cast<double>(MediaDone()) / static_cast<double>(active) : 0;
    const std::int64_t laterTime = RemainingAt(laterMedia, batchSpeed);
    batchRemaining_ = fileRemaining_ >= 0 && laterTime >= 0 ? fileRemaining_ + laterTime : -1;
    estimateActive_ = active;
}

void TBatchProgress::TaskEnded(int task, bool finished) {
    if (task < 0 || task >= TaskCount()) {
        return;
    }
    TTaskState& state = tasks_[task];
    state.Ended = true;
    if (finished && state.Facts.ExpectedLength > 0) {
        state.Current = state.Facts.ExpectedLength;
    }
    if (task + 1 < TaskCount() && tasks_[task + 1].StartActive < 0) {
        tasks_[task + 1].StartActive = ActiveNow();
    }
    if (task == current_ || current_ < 0) {
        current_ = task;
        if (finished) {
            percent_ = 100;
        }
        fileRemaining_ = finished ? 0 : -1;
    }
}

std::string TBatchProgress::PercentText() const {
    return percent_ < 0 ? batchmsg::UnknownPercent : std::to_string(percent_) + "%";
}

std::string TBatchProgress::PercentTextOf(int task) const {
    if (task < 0 || task >= TaskCount() || tasks_[task].StartOrder < 0) {
        return {};
    }
    const int percent = tasks_[task].Percent;
    return percent < 0 ? batchmsg::UnknownPercent : std::to_string(percent) + "%";
}

int TBatchProgress::TaskPercent(int task) const {
    return task >= 0 && task < TaskCount() ? tasks_[task].Percent : -1;
}

std::vector<int> TBatchProgress::RunningTasks() const {
    std::vector<int> running;
    for (int k = 0; k < TaskCount(); ++k) {
        if (tasks_[k].StartOrder >= 0 && !tasks_[k].Ended) {
            running.push_back(k);
        }
    }
    std::sort(running.begin(), running.end(),
              [this](int a, int b) { return tasks_[a].StartOrder < tasks_[b].StartOrder; });
    return running;
}

int TBatchProgress::NewestRunning() const {
    const std::vector<int> running = RunningTasks();
    return running.empty() ? -1 : running.back();
}

std::string TBatchProgress::RunningLine(int task) const {
    if (task < 0 || task >= TaskCount()) {
        return {};
    }
    const TTaskState& state = tasks_[task];
    return Format(batchmsg::RunningFileLine, ShortFileName(state.Facts.Caption).c_str(),
                  PercentTextOf(task).c_str(), ClockText(state.Current).c_str());
}

int TBatchProgress::BarPercent() const {
    return RunningTasks().size() > 1 ? OverallPercent() : percent_;
}

std::string TBatchProgress::TimeText() const {
    return reported_ ? std::to_string(last_.CurrentDuration / 1000000) + batchmsg::SecondUnit : "";
}

std::string TBatchProgress::LengthText() const {
    if (!reported_) {
        return {};
    }
    return last_.TotalDuration > 0
               ? std::to_string(last_.TotalDuration / 1000000) + batchmsg::SecondUnit
               : batchmsg::UnknownPercent;
}

void TBatchProgress::FollowWrittenFile() {
    if (current_ < 0 || current_ >= TaskCount() || tasks_[current_].WritingFile.empty()) {
        return;
    }
    std::error_code ec;
    const auto onDisk = std::filesystem::file_size(tasks_[current_].WritingFile, ec);
    if (!ec) {
        writtenSize_ = std::max(writtenSize_, static_cast<std::int64_t>(onDisk));
    }
}

std::string TBatchProgress::SizeText() const {
    return reported_ ? std::to_string(writtenSize_ / 1000) + batchmsg::KiloByteUnit : "";
}

const std::string& TBatchProgress::WritingPath() const {
    static const std::string none;
    return current_ >= 0 && current_ < TaskCount() ? tasks_[current_].WritingFile : none;
}

std::string TBatchProgress::CounterText() const {
    return current_ >= 0 ? Format("[%d/%d]", current_ + 1, TaskCount()) : "";
}

std::string TBatchProgress::FileText() const {
    return current_ >= 0 ? ShortFileName(tasks_[current_].Facts.Caption) : "";
}

std::int64_t TBatchProgress::RemainingFile() const {
    if (fileRemaining_ < 0) {
        return -1;
    }
    return std::max<std::int64_t>(fileRemaining_ - (ActiveNow() - estimateActive_), 0);
}

std::int64_t TBatchProgress::RemainingBatch() const {
    if (batchRemaining_ < 0) {
        return -1;
    }
    return std::max<std::int64_t>(batchRemaining_ - (ActiveNow() - estimateActive_), 0);
}

std::string TBatchProgress::RemainingFileText() const {
    return ClockText(RemainingFile());
}

std::string TBatchProgress::RemainingBatchText() const {
    return ClockText(RemainingBatch());
}

int TBatchProgress::OverallPercent() const {
    if (tasks_.empty()) {
        return 0;
    }
    const bool lengthsKnown = std::all_of(tasks_.begin(), tasks_.end(), [](const TTaskState& t) {
        return t.Facts.ExpectedLength > 0;
    });
    if (lengthsKnown) {
        std::int64_t total = 0;
        std::int64_t done = 0;
        for (const TTaskState& task : tasks_) {
            total += task.Facts.ExpectedLength;
            done += task.Ended ? task.Facts.ExpectedLength
                               : std::min(task.Current, task.Facts.ExpectedLength);
        }
        return std::clamp(static_cast<int>(done * 100 / total), 0, 100);
    }
    double done = 0;
    for (const TTaskState& task : tasks_) {
        if (task.Ended) {
            done += 1;
        } else if (task.Facts.ExpectedLength > 0) {
            done += static_cast<double>(std::min(task.Current, task.Facts.ExpectedLength)) /
                    static_cast<double>(task.Facts.ExpectedLength);
        }
    }
    return std::clamp(static_cast<int>(done * 100 / static_cast<double>(tasks_.size())), 0, 100);
}

std::string TBatchProgress::TitleText() const {
    return Format(batchmsg::TitleWithPercent, batchmsg::ProgressCaption, OverallPercent());
}

int TBatchProgress::PercentOf(std::int64_t current, std::int64_t total) {
    if (total <= 0) {
        return -1;
    }
    return static_cast<int>(std::clamp<std::int64_t>(current * 100 / total, 0, 100));
}

std::string TBatchProgress::ShortFileName(const std::string& caption) {
    if (CharCount(caption) <= MaxShownChars) {
        return caption;
    }
    return LeftChars(caption, KeptChars) + ".." +
           std::filesystem::path(caption).extension().string();
}

std::string TBatchProgress::ClockText(std::int64_t microseconds) {
    if (microseconds < 0) {
        return batchmsg::UnknownClock;
    }
    const std::int64_t s = (microseconds + 500000) / 1000000;
    return Format("%02lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                  static_cast<long long>((s / 60) % 60), static_cast<long long>(s % 60));
}
