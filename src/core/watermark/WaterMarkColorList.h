#pragma once

#include <cstdint>
#include <vector>

// One entry of the watermark editor's colour lists: the name shown and the value stored in a
// watermark item (0x00BBGGRR, or a system colour code that WaterMarkColor resolves to the palette).
struct TWaterMarkColorEntry {
    const char* Name;
    std::uint32_t Value;
};

// The named colours in the order the lists show them: the sixteen standard colours, the four
// extended ones, then the system colours; no "none" and no "default" entry.
const std::vector<TWaterMarkColorEntry>& WaterMarkColorList();
// The index of value in the list; -1 when it is not a named colour.
int WaterMarkColorIndex(std::uint32_t value);

// Entries chosen for a new list of items.
inline constexpr int WaterMarkDefaultFontColorIndex = 12; // blue
inline constexpr int WaterMarkDefaultBackColorIndex = 2;  // green
