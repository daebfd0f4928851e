#include "BatchRowList.h"

int TBatchRowList::Add(const std::string& sourceFile, bool checked) {
    TRow row;
    row.Record.SourceFile = sourceFile;
    row.Checked = checked;
    rows_.push_back(std::move(row));
    return RowCount() - 1;
}

void TBatchRowList::SetProgress(int row, const std::string& text, const std::string& tooltip) {
    TRow& r = rows_.at(row);
    r.Progress = text;
    r.Tooltip = tooltip;
}
