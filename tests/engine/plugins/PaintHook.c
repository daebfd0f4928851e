/* A frame-hook plug-in with Process only: paints the luma plane with a value that a library
 * beside it supplies (found through its RPATH of $ORIGIN). */

#include "FrameHookApi.h"

int HookPaintValue(void);

__attribute__((visibility("default"))) void Process(void* context, VantreHookPicture* picture,
                                                    int pixelFormat, int width, int height,
                                                    int64_t pts) {
    (void)context;
    (void)pixelFormat;
    (void)pts;
    const int value = HookPaintValue();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture->data[0][y * picture->linesize[0] + x] = (uint8_t)value;
        }
    }
}
