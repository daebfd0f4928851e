#pragma once

// The picture a conversion fits into a fixed frame size: its size in stored pixels and the
// shape of those pixels (1:1 for square pixels; a 16:9 DVD's 720x480 pixels are 32:27).
struct TPictureShape {
    int Width = 0;
    int Height = 0;
    int SampleAspectNum = 1;
    int SampleAspectDen = 1;

    bool SquarePixels() const;
    // The width the picture is shown at beside its height: stored width times pixel aspect.
    long double DisplayWidth() const;
};

// Black bars, each even, that fit a picture into a frame of square pixels.
struct TFrameBars {
    int Top = 0;
    int Bottom = 0;
    int Left = 0;
    int Right = 0;
};

// Letterbox fitting: the picture scaled by its display aspect to span the frame's width or
// height, centred, the rest black bars of 2 * ((total - 2 * (inner div 2)) div 4) pixels.
// No bars for an empty picture or frame, or when the stored size is the frame's size and
// the pixels are square.
TFrameBars SquarePixelFit(const TPictureShape& picture, int frameWidth, int frameHeight);
