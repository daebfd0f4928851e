#include "WaterMarkColor.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>

namespace {

struct TSystemColour {
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
};

// Palette colours standing in for the system colour indexes 0 (scroll bar) to 30 (menu bar).
constexpr std::array<TSystemColour, 31> SystemColours{{
    {QPalette::Active, QPalette::Button},          // scroll bar
    {QPalette::Active, QPalette::Dark},            // desktop background
    {QPalette::Active, QPalette::Highlight},       // active caption
    {QPalette::Inactive, QPalette::Mid},           // inactive caption
    {QPalette::Active, QPalette::Window},          // menu
    {QPalette::Active, QPalette::Base},            // window
    {QPalette::Active, QPalette::Shadow},          // window frame
    {QPalette::Active, QPalette::WindowText},      // menu text
    {QPalette::Active, QPalette::Text},            // window text
    {QPalette::Active, QPalette::HighlightedText}, // caption text
    {QPalette::Active, QPalette::Window},          // active border
    {QPalette::Inactive, QPalette::Window},        // inactive border
    {QPalette::Active, QPalette::Mid},             // application workspace
    {QPalette::Active, QPalette::Highlight},       // highlight
    {QPalette::Active, QPalette::HighlightedText}, // highlight text
    {QPalette::Active, QPalette::Button},          // button face
    {QPalette::Active, QPalette::Dark},            // button shadow
    {QPalette::Disabled, QPalette::Text},          // grey text
    {QPalette::Active, QPalette::ButtonText},      // button text
    {QPalette::Inactive, QPalette::WindowText},    // inactive caption text
    {QPalette::Active, QPalette::Light},           // button highlight
    {QPalette::Active, QPalette::Shadow},          // 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 3-D light
    {QPalette::Active, QPalette::ToolTipText},     // info text
    {QPalette::Active, QPalette::ToolTipBase},     // info background
    {QPalette::Active, QPalette::Window},          // (unused index)
    {QPalette::Active, QPalette::Link},            // hot light
    {QPalette::Active, QPalette::Highlight},       // gradient of the active caption
    {QPalette::Inactive, QPalette::Mid},           // gradient of the inactive caption
    {QPalette::Active, QPalette::Highlight},       // menu highlight
    {QPalette::Active, QPalette::Window},          // menu bar
}};

} // namespace

QColor WaterMarkColor(std::uint32_t value) {
    if ((value >> 24) == 0) {
        return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                      static_cast<int>((value >> 16) & 0xFF));
    }
    const std::uint32_t index = value & 0xFF;
    if (index >= SystemColours.size()) {
        return QColor(Qt::black); // what the platform answered for an unknown index
    }
    const QPalette palette = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
                                 ? QGuiApplication::palette()
                                 : QPalette(QColor(240, 240, 240)); // the classic light scheme
    return palette.color(SystemColours[index].Group, SystemColours[index].Role);
}
