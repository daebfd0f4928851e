#pragma once

#include "JobRecord.h"

#include <memory>
#include <string>
#include <vector>

// The five columns of the job list, in display order.
enum class TJobColumn { Source, Length, TrimmedLength, Destination, Progress };

// Told about every change of a job list, so that a view (or a progress window) can follow it.
// Insert and remove notices come in begin/end pairs around the change itself.
class IJobListObserver {
public:
    virtual ~IJobListObserver() = default;
    virtual void JobsAboutToBeInserted(int first, int last) = 0;
    virtual void JobsInserted() = 0;
    virtual void JobsAboutToBeRemoved(int first, int last) = 0;
    virtual void JobsRemoved() = 0;
    // Texts or check state of one row changed.
    virtual void JobChanged(int row) = 0;
    // A dialog edited the row's job record.
    virtual void JobRecordChanged(int row) { JobChanged(row); }
    // The columns come or go (report view or plain list).
    virtual void JobColumnsAboutToChange() = 0;
    virtual void JobColumnsChanged() = 0;
    virtual void JobSelectionChanged(int row) = 0;
};

// The job list without its widget: one row per source file with its check box, its cells
// and the job record it owns. The row index is the job index everywhere. One row at most is
// selected. While the list is empty it shows no columns (a plain list); the first row added,
// or ShowColumns, brings the five columns back.
class TJobList {
public:
    static constexpr int ColumnCount = 5;

    TJobList() = default;
    TJobList(const TJobList&) = delete;
    TJobList& operator=(const TJobList&) = delete;

    static const char* ColumnCaption(TJobColumn column);
    // Design width in pixels.
    static int ColumnWidth(TJobColumn column);

    void AddObserver(IJobListObserver* observer);
    void RemoveObserver(IJobListObserver* observer);

    int Count() const { return static_cast<int>(rows_.size()); }
    bool Empty() const { return rows_.empty(); }
    // The full source path.
    const std::string& Caption(int row) const;
    TlvFilesRecord& Record(int row);
    const TlvFilesRecord& Record(int row) const;
    std::string Cell(int row, TJobColumn column) const;
    // True when a row of exactly this caption exists (case-sensitive).
    bool Contains(const std::string& caption) const;

    bool Checked(int row) const;
    void SetChecked(int row, bool checked);
    int CheckedCount() const;

    // Tells the observers that the row's job record was edited.
    void RecordChanged(int row);

    // The "Progress" cell and its tooltip.
    const std::string& Progress(int row) const;
    void SetProgress(int row, const std::string& text, const std::string& hint = {});
    const std::string& ProgressHint(int row) const;
    // The "Trimmed Length" cell, which the trim dialog replaces.
    void SetTrimmedLength(int row, const std::string& text);
    // The output path the row's "Destination File" cell names.
    void SetDestination(int row, const std::string& path);

    // -1 when no row is selected.
    int Selected() const { return selected_; }
    void Select(int row);

    bool ColumnsShown() const { return columnsShown_; }
    void ShowColumns();

    // Appends a checked row for the record: caption = its source, "Length" and "Trimmed
    // Length" = its length in seconds, "Destination File" = the file name of its output. The
    // first row brings the columns back; the first row is selected. Returns the row index.
    int Append(std::unique_ptr<TlvFilesRecord> record);
    // Removes the selected row and selects the row that took its place (or the new last one).
    // False when no row was selected.
    bool RemoveSelected();
    void Clear();

    void CheckAll(bool checked);
    void ReverseCheck();
    // Sets the selected row's check box.
    void CheckSelected(bool checked);

private:
    struct TRow {
        std::unique_ptr<TlvFilesRecord> record;
        bool checked = true;
        std::string trimmedLength;
        std::string progress;
        std::string progressHint;
    };

    bool Valid(int row) const { return row >= 0 && row < Count(); }
    void HideColumns();
    template <typename F> void Notify(F&& f) {
        // Observers may remove themselves while told.
        const std::vector<IJobListObserver*> observers = observers_;
        for (IJobListObserver* o : observers) {
            f(*o);
        }
    }

    std::vector<TRow> rows_;
    std::vector<IJobListObserver*> observers_;
    int selected_ = -1;
    bool columnsShown_ = true;
};
