#pragma once

#include "PictureSink.h"

// Where a picture goes on the drawing surface.
namespace display_layout {

// The display aspect (width / height): aspectRatio > 0 forces it; 0 takes the picture's own
// (sample aspect x width / height, sample aspect 1 when unknown); < 0 fills the surface.
double DisplayAspect(float aspectRatio, int pictureWidth, int pictureHeight, int sampleAspectNum,
                     int sampleAspectDen, int surfaceWidth, int surfaceHeight);

// The largest rectangle of that aspect in the surface, with even sides, centred.
TPictureRect PictureRect(int surfaceWidth, int surfaceHeight, double aspect);

} // namespace display_layout
