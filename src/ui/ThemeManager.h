#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

// The seven colour themes. A theme is applied to the whole application (palette and style
// sheet), so every window and dialog shown afterwards takes it without doing anything.
class TThemeManager {
public:
    static constexpr int Count = 7;

    static const char* Name(int index);
    // Applies a theme; an index outside 0..6 changes nothing. The first call also sets the
    // widget style all themes are drawn on.
    static void Apply(int index);
    // -1 before any theme was applied.
    static int Current();

    static QPalette Palette(int index);
    static QString StyleSheet(int index);
    // The job list's colour of odd rows (white for even rows).
    static QColor StripeColour(int index);
    static QColor CurrentStripeColour();
    // The theme's accent, for the program's own drawings.
    static QColor Accent(int index);

    // A colour stored as 0x00BBGGRR.
    static QColor FromBgr(unsigned int value);
};
