#include "DeviceList.h"

#include "FormatTable.h"
#include "MediaUtils.h"
#include "Settings.h"

namespace {

TDeviceRow EntryRow(int group, int entry, const std::string& text) {
    TDeviceRow row;
    row.Text = text;
    row.Info.IsFormat = true;
    row.Info.Code = group * 100 + entry;
    return row;
}

bool ValidRow(int row, int count) {
    return row >= 0 && row < count;
}

} // namespace

void TDeviceList::Build(TFormatTable& table, const TSettings& settings) {
    table.Clear();
    rows_.clear();
    selected_ = -1;
    for (int group = 0; group < TFormatCatalog::GroupCount; ++group) {
        TDeviceRow row;
        row.Text = TFormatCatalog::GroupText(group);
        row.Info.IsGroup = true;
        row.Info.GroupName = row.Text;
        row.Info.Code = group;
        row.Info.Collapsed = settings.GroupCollapsed(group);
        const std::vector<std::string>& entries = TFormatCatalog::GroupEntries(group);
        for (size_t entry = 0; entry < entries.size(); ++entry) {
            table.SetCell(group, static_cast<int>(entry), entries[entry]);
        }
        rows_.push_back(row);
        if (!row.Info.Collapsed) {
            InsertEntries(RowCount() - 1, table);
        }
    }
    formatBoxText_ = settings.CurrentFormatName(TFormatNameUse::DeviceList);
    selected_ = FindRow(formatBoxText_);
}

void TDeviceList::SetSelectedRow(int row) {
    selected_ = ValidRow(row, RowCount()) ? row : -1;
}

int TDeviceList::FindRow(const std::string& text) const {
    const std::string wanted = Trim(text);
    for (int row = 0; row < RowCount(); ++row) {
        if (rows_[row].Text == wanted) {
            return row;
        }
    }
    return -1;
}

void TDeviceList::InsertEntries(int groupRow, const TFormatTable& table) {
    const int group = rows_[groupRow].Info.Code;
    int position = groupRow + 1;
    for (int entry = 0; entry < TFormatTable::Size - 1; ++entry) {
        const std::string& text = table.Cell(group, entry);
        if (!text.empty()) {
            rows_.insert(rows_.begin() + position, EntryRow(group, entry, text));
            ++position;
        }
    }
    if (selected_ > groupRow) {
        selected_ += position - groupRow - 1;
    }
    rows_[groupRow].Info.Collapsed = false;
}

bool TDeviceList::Toggle(int row, const TFormatTable& table) {
    if (!ValidRow(row, RowCount()) || !rows_[row].Info.IsGroup) {
        return false;
    }
    if (rows_[row].Info.Collapsed) {
        InsertEntries(row, table);
        return true;
    }
    int removed = 0;
    while (row + 1 < RowCount() && rows_[row + 1].Info.IsFormat) {
        rows_.erase(rows_.begin() + row + 1);
        ++removed;
    }
    // Keep the selection on the same row, or drop it when its row went away.
    if (selected_ > row + removed) {
        selected_ -= removed;
    } else if (selected_ > row) {
        selected_ = -1;
    }
    rows_[row].Info.Collapsed = true;
    return true;
}

void TDeviceList::SaveGroupStates(TSettings& settings) const {
    std::vector<std::pair<int, bool>> states;
    for (const TDeviceRow& row : rows_) {
        if (row.Info.IsGroup) {
            states.emplace_back(row.Info.Code, row.Info.Collapsed);
        }
    }
    settings.SetGroupStates(states);
}

bool TDeviceList::SelectFormat(int row, TFormatTable& table, TSettings& settings) {
    if (!ValidRow(row, RowCount()) || !rows_[row].Info.IsFormat) {
        return false;
    }
    const TDeviceRow& chosen = rows_[row];
    settings.SetFormat(chosen.Text, chosen.Info.Code);
    table.SetCurrent(chosen.Text, chosen.Info.Code);
    formatBoxText_ = chosen.Text;
    selected_ = row;
    return true;
}
