#include "JobList.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace {

struct TColumnInfo {
    const char* caption;
    int width;
};

constexpr TColumnInfo Columns[TJobList::ColumnCount] = {
    {"Source", 140},           {"Length", 65},   {"Trimmed Length", 90},
    {"Destination File", 120}, {"Progress", 60},
};

const std::string EmptyText;

} // namespace

const char* TJobList::ColumnCaption(TJobColumn column) {
    return Columns[static_cast<int>(column)].caption;
}

int TJobList::ColumnWidth(TJobColumn column) {
    return Columns[static_cast<int>(column)].width;
}

void TJobList::AddObserver(IJobListObserver* observer) {
    if (observer != nullptr &&
        std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void TJobList::RemoveObserver(IJobListObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

const std::string& TJobList::Caption(int row) const {
    return Valid(row) ? rows_[row].record->SourceFile : EmptyText;
}

TlvFilesRecord& TJobList::Record(int row) {
    if (!Valid(row)) {
        throw std::out_of_range("job list row " + std::to_string(row));
    }
    return *rows_[row].record;
}

const TlvFilesRecord& TJobList::Record(int row) const {
    if (!Valid(row)) {
        throw std::out_of_range("job list row " + std::to_string(row));
    }
    return *rows_[row].record;
}

std::string TJobList::Cell(int row, TJobColumn column) const {
    if (!Valid(row)) {
        return {};
    }
    const TRow& r = rows_[row];
    switch (column) {
    case TJobColumn::Source:
        return r.record->SourceFile;
    case TJobColumn::Length:
        return std::to_string(r.record->LengthSeconds);
    case TJobColumn::TrimmedLength:
        return r.trimmedLength;
    case TJobColumn::Destination:
        return std::filesystem::path(r.record->OutputFile).filename().string();
    case TJobColumn::Progress:
        return r.progress;
    }
    return {};
}

bool TJobList::Contains(const std::string& caption) const {
    return std::any_of(rows_.begin(), rows_.end(),
                       [&](const TRow& r) { return r.record->SourceFile == caption; });
}

bool TJobList::Checked(int row) const {
    return Valid(row) && rows_[row].checked;
}

void TJobList::SetChecked(int row, bool checked) {
    if (Valid(row) && rows_[row].checked != checked) {
        rows_[row].checked = checked;
        Notify([row](IJobListObserver& o) { o.JobChanged(row); });
    }
}

int TJobList::CheckedCount() const {
    return static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [](const TRow& r) { return r.checked; }));
}

void TJobList::SetProgress(int row, const std::string& text, const std::string& hint) {
    if (Valid(row)) {
        rows_[row].progress = text;
        rows_[row].progressHint = hint;
        Notify([row](IJobListObserver& o) { o.JobChanged(row); });
    }
}

void TJobList::RecordChanged(int row) {
    if (Valid(row)) {
        Notify([row](IJobListObserver& o) { o.JobRecordChanged(row); });
    }
}

const std::string& TJobList::Progress(int row) const {
    return Valid(row) ? rows_[row].progress : EmptyText;
}

const std::string& TJobList::ProgressHint(int row) const {
    return Valid(row) ? rows_[row].progressHint : EmptyText;
}

void TJobList::SetTrimmedLength(int row, const std::string& text) {
    if (Valid(row)) {
        rows_[row].trimmedLength = text;
        Notify([row](IJobListObserver& o) { o.JobChanged(row); });
    }
}

void TJobList::SetDestination(int row, const std::string& path) {
    if (Valid(row) && rows_[row].record->OutputFile != path) {
        rows_[row].record->OutputFile = path;
        Notify([row](IJobListObserver& o) { o.JobChanged(row); });
    }
}

void TJobList::Select(int row) {
    const int wanted = Valid(row) ? row : -1;
    if (wanted != selected_) {
        selected_ = wanted;
        Notify([wanted](IJobListObserver& o) { o.JobSelectionChanged(wanted); });
    }
}

void TJobList::ShowColumns() {
    if (!columnsShown_) {
        Notify([](IJobListObserver& o) { o.JobColumnsAboutToChange(); });
        columnsShown_ = true;
        Notify([](IJobListObserver& o) { o.JobColumnsChanged(); });
    }
}

void TJobList::HideColumns() {
    if (columnsShown_) {
        Notify([](IJobListObserver& o) { o.JobColumnsAboutToChange(); });
        columnsShown_ = false;
        Notify([](IJobListObserver& o) { o.JobColumnsChanged(); });
    }
}

int TJobList::Append(std::unique_ptr<TlvFilesRecord> record) {
    if (!record) {
        throw std::invalid_argument("job list row without a record");
    }
    const int row = Count();
    TRow r;
    r.trimmedLength = std::to_string(record->LengthSeconds);
    r.record = std::move(record);
    Notify([row](IJobListObserver& o) { o.JobsAboutToBeInserted(row, row); });
    rows_.push_back(std::move(r));
    Notify([](IJobListObserver& o) { o.JobsInserted(); });
    if (Count() == 1) {
        ShowColumns();
    }
    Select(0);
    return row;
}

bool TJobList::RemoveSelected() {
    const int row = selected_;
    if (!Valid(row)) {
        return false;
    }
    // The selection moves before the row goes, so no one sees an index past the end.
    selected_ = -1;
    Notify([row](IJobListObserver& o) { o.JobsAboutToBeRemoved(row, row); });
    rows_.erase(rows_.begin() + row);
    Notify([](IJobListObserver& o) { o.JobsRemoved(); });
    if (Empty()) {
        HideColumns();
    } else {
        selected_ = std::min(row, Count() - 1);
    }
    const int now = selected_;
    Notify([now](IJobListObserver& o) { o.JobSelectionChanged(now); });
    return true;
}

void TJobList::Clear() {
    if (Empty()) {
        return;
    }
    const int last = Count() - 1;
    selected_ = -1;
    Notify([last](IJobListObserver& o) { o.JobsAboutToBeRemoved(0, last); });
    rows_.clear();
    Notify([](IJobListObserver& o) { o.JobsRemoved(); });
    HideColumns();
    Notify([](IJobListObserver& o) { o.JobSelectionChanged(-1); });
}

void TJobList::CheckAll(bool checked) {
    for (int row = 0; row < Count(); ++row) {
        SetChecked(row, checked);
    }
}

void TJobList::ReverseCheck() {
    for (int row = 0; row < Count(); ++row) {
        SetChecked(row, !rows_[row].checked);
    }
}

void TJobList::CheckSelected(bool checked) {
    SetChecked(selected_, checked);
}
