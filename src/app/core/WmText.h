#pragma once

#include "JobRecord.h"

#include <QFont>
#include <QSize>

#include <string>

class TBitmap24;

// Text watermarks. The editor measures an item's text box with WmTextExtent and the conversion
// draws with DrawWmText through the same font, so the two agree to the pixel.

inline constexpr int WmPixelsPerInch = 96;

// Points to pixels at WmPixelsPerInch, rounded half away from zero; at least 1.
int WmFontPixels(int points);
// The toolkit font of an item: face (the default face when empty), pixel size, style bits.
QFont WmQFont(const TWmFont& font);
// Width (advance) and height (ascent + descent) of one line of text.
QSize WmTextExtent(const std::string& text, const TWmFont& font);

// Fonts need the toolkit's GUI application object (any platform, offscreen included).
bool CanDrawWmText();

// Draws a text item into the frame at (TextLeft, TextTop): a box of TextWidth by TextHeight,
// the text at its top-left corner in the item's font and colour, either on a BackColor cell
// (HasBackColor; the rest of an enlarged box is white) or over the frame's own pixels, then
// blended with TextOpacity. Raises std::runtime_error without a GUI application.
void DrawWmText(TBitmap24& frame, const TWmRec& item);
