// Every SDL entry point the loader binds, except the last one of the list.
#include "LibraryEntryPoints.h"

#define SDL_MixAudioFormat SDL_MixAudioFormat_absent
#define VANTRE_STUB(name)                                                                          \
    extern "C" void name() {}
VANTRE_SDL2_FUNCTIONS(VANTRE_STUB)
