#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, drawn in code so that they scale with the screen: the program
// icon, the device group icons, the list's plus and minus signs and the button glyphs.
namespace glyphs {

enum class TButton {
    Add,
    Remove,
    Clear,
    Edit,
    Settings,
    Start,
    Exit,
    Play,
    Pause,
    Stop,
    Snapshot,
    DropDown,
    Folder,
    OpenFolder,
};

// size x size pixels at the given device pixel ratio.
QPixmap AppIcon(int size, qreal ratio = 1.0);
QIcon AppIcon();
// 20 x 20 design pixels; one picture per device group (0..24).
QPixmap GroupIcon(int group, qreal ratio = 1.0);
// 11 x 11 design pixels: a plus for a collapsed group, a minus for an expanded one.
QPixmap PlusMinus(bool expanded, qreal ratio = 1.0);
QIcon ButtonIcon(TButton button, const QColor& accent);

} // namespace glyphs
