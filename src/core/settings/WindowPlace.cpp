#include "WindowPlace.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

// The part of the title bar that must be on a screen to drag the window.
constexpr int GripWidth = 100;
constexpr int GripHeight = 20;

int Overlap(int a0, int a1, int b0, int b1) {
    return std::max(0, std::min(a1, b1) - std::max(a0, b0));
}

} // namespace

std::optional<TWindowPlace> TWindowPlace::Parse(const std::string& text) {
    TWindowPlace place;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d,%d,%d,%d%c", &place.Left, &place.Top, &place.Width,
                    &place.Height, &tail) != 4 ||
        place.Width < 1 || place.Height < 1) {
        return std::nullopt;
    }
    return place;
}

std::string TWindowPlace::Text() const {
    std::ostringstream text;
    text << Left << ',' << Top << ',' << Width << ',' << Height;
    return text.str();
}

TWindowPlace PlaceOnScreens(TWindowPlace place, const std::vector<TWindowPlace>& screens,
                            int minimumWidth, int minimumHeight) {
    if (screens.empty()) {
        return place;
    }
    const TWindowPlace* home = nullptr;
    for (const TWindowPlace& screen : screens) {
        const int across =
            Overlap(place.Left, place.Left + place.Width, screen.Left, screen.Left + screen.Width);
        const int down =
            Overlap(place.Top, place.Top + GripHeight, screen.Top, screen.Top + screen.Height);
        if (across >= std::min(GripWidth, place.Width) && down >= GripHeight &&
            place.Top >= screen.Top) {
            home = &screen;
            break;
        }
    }
    const bool moved = home == nullptr;
    if (moved) {
        home = &screens.front();
    }
    place.Width = std::max(std::min(place.Width, home->Width), minimumWidth);
    place.Height = std::max(std::min(place.Height, home->Height), minimumHeight);
    if (moved) {
        place.Left = home->Left + (home->Width - place.Width) / 2;
        place.Top = home->Top + std::max(0, (home->Height - place.Height) / 2);
    }
    return place;
}
