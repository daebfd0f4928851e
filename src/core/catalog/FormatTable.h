#pragma once

#include <array>
#include <string>

// The display text of every format entry by [group][entry] (an empty cell: no entry there),
// and the current format's name and code.
class TFormatTable {
public:
    static constexpr int Size = 51;

    void Clear();
    // Empty outside the table.
    const std::string& Cell(int group, int entry) const;
    void SetCell(int group, int entry, const std::string& text);

    const std::string& CurrentName() const { return currentName_; }
    // The code as decimal text.
    const std::string& CurrentCode() const { return currentCode_; }
    void SetCurrent(const std::string& name, int code);

private:
    std::array<std::array<std::string, Size>, Size> cells_;
    std::string currentName_;
    std::string currentCode_;
};
