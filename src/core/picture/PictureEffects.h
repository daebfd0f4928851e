#pragma once

#include "JobRecord.h"

#include <cstdint>

class TBitmap24;

// The picture adjustments and the overlay blend that the conversion burns into source frames
// and the watermark editor applies to its preview. All work on 24-bit frames in place, through
// lookup tables built once per call.

inline constexpr int NeutralBrightness = 255;
inline constexpr int NeutralContrast = 0;
inline constexpr int NeutralSaturation = 255;
inline constexpr int NeutralExposure = 0;

bool EffectsActive(int brightness, int contrast, int saturation, int exposure);
bool EffectsActive(const TlvFilesRecord& job);

// Whether an item is shown in the frame at pts (microseconds of the source): its whole second
// lies in StartSec..EndSec.
bool WaterMarkItemActive(const TWmRec& item, std::int64_t pts);
// Whether an item has something to draw: a text item with text, an image item with a file.
bool WaterMarkItemDrawable(const TWmRec& item);
// Whether a conversion of the job must run the frame hook: adjustments away from neutral, or
// any drawable watermark.
bool JobNeedsFrameHook(const TlvFilesRecord& job);

// Saturation around the grey level, then brightness gain (1/256 steps), then contrast around
// level 170. Brightness and saturation are taken in 0..512, contrast in -100..100.
void AdjustColors(TBitmap24& frame, int brightness, int contrast, int saturation);
// The exponential exposure curve; negative values darken. Levels 0 and 255 never change.
void AdjustExposure(TBitmap24& frame, float exposure);
// Blends overlay onto frame with its top-left corner at (x, y) and opacity 0..255, cut at all
// four edges of the frame.
void BlendBitmap(TBitmap24& frame, const TBitmap24& overlay, int x, int y, int opacity);
