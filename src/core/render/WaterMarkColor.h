#pragma once

#include <QColor>

#include <cstdint>

// A colour value of a watermark item (0x00BBGGRR) as a toolkit colour. A value whose high
// byte is set names a system colour by its index in the low byte (window, button face,
// highlight, ...) and resolves to the matching colour of the application's current palette.
QColor WaterMarkColor(std::uint32_t value);
