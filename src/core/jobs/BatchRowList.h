#pragma once

#include "BatchRows.h"

#include <vector>

// Batch rows kept in memory: the command line's files, and tests.
class TBatchRowList : public IBatchRows {
public:
    struct TRow {
        TlvFilesRecord Record;
        bool Checked = true;
        std::string Progress;
        std::string Tooltip;
    };

    // Adds a checked row for a source file; returns its index.
    int Add(const std::string& sourceFile, bool checked = true);
    TRow& Row(int row) { return rows_.at(row); }
    const TRow& Row(int row) const { return rows_.at(row); }
    void SetChecked(int row, bool checked) { rows_.at(row).Checked = checked; }

    int RowCount() const override { return static_cast<int>(rows_.size()); }
    bool Checked(int row) const override { return rows_.at(row).Checked; }
    std::string Caption(int row) const override { return rows_.at(row).Record.SourceFile; }
    TlvFilesRecord& Record(int row) override { return rows_.at(row).Record; }
    void SetProgress(int row, const std::string& text, const std::string& tooltip) override;

private:
    std::vector<TRow> rows_;
};
