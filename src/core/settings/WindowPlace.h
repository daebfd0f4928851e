#pragma once

#include <optional>
#include <string>
#include <vector>

// A window's frame on the desktop, or a screen's available area.
struct TWindowPlace {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TWindowPlace&) const = default;

    // "left,top,width,height"; nothing for any other text or a size below 1.
    static std::optional<TWindowPlace> Parse(const std::string& text);
    std::string Text() const;
};

// Where a stored place shows: kept when enough of its top edge (where the title bar is) lies
// on one of the screens to take hold of it; else centred on the first screen. Its size never
// exceeds the screen it is on, nor goes below the minimum.
TWindowPlace PlaceOnScreens(TWindowPlace place, const std::vector<TWindowPlace>& screens,
                            int minimumWidth, int minimumHeight);
