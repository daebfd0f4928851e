#pragma once

#include "JobRecord.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <string>

// Pictures of the watermark editor's layers, drawn as the conversion draws its items (same
// font, same measure, same colours), so the preview looks like the output.

// A text item's picture: a box (the text's own extent when box is empty) with the text at its
// top-left corner, anti-aliased. With a background the text's cell takes backColor and the
// rest of a larger box is white, as in the output; without, everything but the glyphs is
// transparent.
QImage WaterMarkTextPicture(const std::string& text, const TWaterMarkFont& font, bool hasBackColor,
                            std::uint32_t backColor, QSize box = QSize());

// An image item's picture: the bitmap file at its own size. Raises std::runtime_error when the
// file cannot be read as a bitmap.
QImage WaterMarkImagePicture(const std::string& path);
