#pragma once

#include "Bitmap24.h"

#include <stdexcept>
#include <string>

class EImageEncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The bytes of a 24-bit bottom-up BMP file of the picture.
std::string EncodeBmp(const TBitmap24& bitmap);
// The bytes of a baseline JPEG file of the picture at quality 1..100 (clamped). Raises
// EImageEncodingError for an empty picture or when the encoder fails.
std::string EncodeJpeg(const TBitmap24& bitmap, int quality);
