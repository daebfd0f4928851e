#pragma once

#include <cstdint>
#include <string>

struct AVStream;

// How a stream's stored pictures are turned to stand upright, read from its display matrix
// (phones store the sensor's picture and a matrix that says how to show it).
struct TPictureOrientation {
    int Rotation = 0;      // clockwise degrees that show the picture upright: 0, 90, 180, 270
    bool Mirrored = false; // the matrix also flips the picture
    std::string Filters;   // the filter chain that turns it upright; empty when already upright

    // True when the upright picture's width is the stored picture's height.
    bool SwapsSides() const { return Rotation == 90 || Rotation == 270; }
};

// From a 3x3 display matrix of 16.16 fixed-point numbers (the container's layout).
TPictureOrientation OrientationOfMatrix(const std::int32_t matrix[9]);
// From the stream's display matrix; upright when it has none.
TPictureOrientation OrientationOf(const AVStream* stream);
