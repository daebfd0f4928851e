#pragma once

#include "FormatCatalog.h"

#include <string>
#include <vector>

class TFormatTable;
class TSettings;

struct TDeviceRow {
    std::string Text;
    TItemInfo Info;
};

// The two-level device and format list without its drawing: group rows, each followed by its
// entry rows while expanded, the selection and the text of the current-format box.
class TDeviceList {
public:
    // Rebuilds the table and the rows: every group with its stored collapsed state (collapsed
    // unless stored otherwise), the entries of expanded groups, the current format's name in
    // the format box and its row selected.
    void Build(TFormatTable& table, const TSettings& settings);

    const std::vector<TDeviceRow>& Rows() const { return rows_; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // -1 when no row is selected.
    int SelectedRow() const { return selected_; }
    void SetSelectedRow(int row);
    // The row whose text equals text trimmed of blanks; -1 when none.
    int FindRow(const std::string& text) const;
    // The text of the current-format box.
    const std::string& FormatBoxText() const { return formatBoxText_; }

    // Expands a collapsed group row (its entries are inserted right below it) or collapses an
    // expanded one (exactly its entry rows are removed). False for entry rows.
    bool Toggle(int row, const TFormatTable& table);
    // Stores the collapsed state of every group row in one write.
    void SaveGroupStates(TSettings& settings) const;
    // Makes an entry row the current format: stored as "FormatName" and "FormatCode", copied
    // into the table and the format box. False for group rows.
    bool SelectFormat(int row, TFormatTable& table, TSettings& settings);

private:
    void InsertEntries(int groupRow, const TFormatTable& table);

    std::vector<TDeviceRow> rows_;
    int selected_ = -1;
    std::string formatBoxText_;
};
