/* A frame-hook plug-in for the tests: inverts the luma plane, or paints it with a value given
 * as "paint N"; "fail" makes Configure fail. Counts its calls in hook_counters. */

#include "FrameHookApi.h"

#include <stdlib.h>
#include <string.h>

typedef struct HookCounters {
    int configure;
    int process;
    int release;
    int contexts; /* contexts alive */
    int last_pix_fmt;
    int last_width;
    int last_height;
    int64_t last_pts;
    int last_argc;
} HookCounters;

__attribute__((visibility("default"))) HookCounters hook_counters;

typedef struct SampleContext {
    int paint;
    int value;
} SampleContext;

__attribute__((visibility("default"))) int Configure(void** context, int argc, char* argv[]) {
    ++hook_counters.configure;
    hook_counters.last_argc = argc;
    SampleContext settings = {0, 0};
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "fail") == 0) {
            return -1;
        }
        if (strcmp(argv[i], "paint") == 0 && i + 1 < argc) {
            settings.paint = 1;
            settings.value = atoi(argv[++i]);
        }
    }
    SampleContext* created = malloc(sizeof(SampleContext));
    if (created == NULL) {
        return -1;
    }
    *created = settings;
    *context = created;
    ++hook_counters.contexts;
    return 0;
}

__attribute__((visibility("default"))) void Process(void* context, VantreHookPicture* picture,
                                                    int pixelFormat, int width, int height,
                                                    int64_t pts) {
    const SampleContext* settings = context;
    ++hook_counters.process;
    hook_counters.last_pix_fmt = pixelFormat;
    hook_counters.last_width = width;
    hook_counters.last_height = height;
    hook_counters.last_pts = pts;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture->data[0] + y * picture->linesize[0];
        for (int x = 0; x < width; ++x) {
            row[x] = settings != NULL && settings->paint ? (uint8_t)settings->value
                                                         : (uint8_t)(255 - row[x]);
        }
    }
}

__attribute__((visibility("default"))) void Release(void* context) {
    ++hook_counters.release;
    if (context != NULL) {
        free(context);
        --hook_counters.contexts;
    }
}
