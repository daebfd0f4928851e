#ifndef VANTRE_FRAME_HOOK_API_H
#define VANTRE_FRAME_HOOK_API_H

/*
 * The frame-hook plug-in interface. A plug-in is a shared library that exports, with C
 * linkage, up to three functions by these names:
 *
 *   int  Configure(void** context, int argc, char* argv[]);   optional; 0 for success
 *   void Process(void* context, VantreHookPicture* picture, int pixelFormat,
 *                int width, int height, int64_t pts);          required
 *   void Release(void* context);                               optional
 *
 * argv[0] is the plug-in's file name, the rest are its arguments; the strings stay valid for
 * the task's life. Process changes the picture in place: planes as the decoder gave them
 * (pixelFormat is the libavutil pixel format number), pts in microseconds. Release is called
 * once for every plug-in entry of a task when the task ends, with the context Configure set
 * (null for a plug-in without Configure).
 *
 * The library is loaded with its full path, so a plug-in that needs libraries of its own
 * finds them beside it through an RPATH of $ORIGIN.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VantreHookPicture {
    uint8_t* data[4];
    int linesize[4];
} VantreHookPicture;

typedef int (*VantreHookConfigure)(void** context, int argc, char* argv[]);
typedef void (*VantreHookProcess)(void* context, VantreHookPicture* picture, int pixelFormat,
                                  int width, int height, int64_t pts);
typedef void (*VantreHookRelease)(void* context);

#ifdef __cplusplus
}
#endif

#endif
