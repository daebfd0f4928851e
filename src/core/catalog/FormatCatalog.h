#pragma once

#include <string>
#include <vector>

// The row object of the device and format list.
struct TItemInfo {
    bool IsFormat = false;  // the row is a format entry
    bool IsGroup = false;   // the row is a group header
    std::string GroupName;  // group rows: the group text
    bool Collapsed = false; // group rows: the group's entries are not listed under it
    int Code = 0;           // group rows: the group index; entry rows: the format code
};

// The built-in device groups and their format entries, in list order. An entry's format code
// is its group index * 100 + its position in the group; both INI files keep a format under
// the section "formatInfo" + code.
class TFormatCatalog {
public:
    static constexpr int GroupCount = 28;
    static constexpr int EntryCount = 128;

    static const std::string& GroupText(int group);
    static const std::vector<std::string>& GroupEntries(int group);
    // Empty when no entry has that code.
    static std::string EntryText(int code);
    static bool IsFormatCode(int code);
    // -1 when no entry has exactly that text.
    static int CodeOf(const std::string& entryText);
    // Every format code, in list order.
    static std::vector<int> AllCodes();
    static std::string SectionName(int code);
    // The extension an entry's text names in its "(*.ext)" part, without the dot.
    static std::string EntryExtension(const std::string& entryText);
};
