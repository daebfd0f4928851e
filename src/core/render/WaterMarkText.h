#pragma once

#include "JobRecord.h"

#include <QFont>
#include <QSize>

#include <string>

class TBitmap24;

// Text watermarks. The editor measures an item's text box with WaterMarkTextExtent and the
// conversion draws with DrawWaterMarkText through the same font, so the two agree to the pixel.

inline constexpr int WaterMarkPixelsPerInch = 96;

// Points to pixels at WaterMarkPixelsPerInch, rounded half away from zero; at least 1.
int WaterMarkFontPixels(int points);
// The toolkit font of an item: face (the default face when empty), pixel size, style bits.
QFont WaterMarkQFont(const TWaterMarkFont& font);
// Width (advance) and height (ascent + descent) of one line of text.
QSize WaterMarkTextExtent(const std::string& text, const TWaterMarkFont& font);

// Fonts need the toolkit's GUI application object (any platform, offscreen included).
bool CanDrawWaterMarkText();

// Draws a text item into the frame at (TextLeft, TextTop): a box of TextWidth by TextHeight,
// the text at its top-left corner in the item's font and colour, either on a BackColor cell
// (HasBackColor; the rest of an enlarged box is white) or over the frame's own pixels, then
// blended with TextOpacity. Raises std::runtime_error without a GUI application.
void DrawWaterMarkText(TBitmap24& frame, const TWmRec& item);
