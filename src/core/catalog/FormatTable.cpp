#include "FormatTable.h"

namespace {

bool Inside(int group, int entry) {
    return group >= 0 && group < TFormatTable::Size && entry >= 0 && entry < TFormatTable::Size;
}

} // namespace

void TFormatTable::Clear() {
    for (auto& row : cells_) {
        for (std::string& cell : row) {
            cell.clear();
        }
    }
}

const std::string& TFormatTable::Cell(int group, int entry) const {
    static const std::string none;
    return Inside(group, entry) ? cells_[group][entry] : none;
}

void TFormatTable::SetCell(int group, int entry, const std::string& text) {
    if (Inside(group, entry)) {
        cells_[group][entry] = text;
    }
}

void TFormatTable::SetCurrent(const std::string& name, int code) {
    currentName_ = name;
    currentCode_ = std::to_string(code);
}
