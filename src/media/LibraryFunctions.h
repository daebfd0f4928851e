#pragma once

// Process-wide table of the media libraries' entry points. Every call into FFmpeg or SDL goes
// through fn::name(...); the programs never link the libraries themselves.

extern "C" {
#include <SDL.h>
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/hwcontext.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "LibraryEntryPoints.h"

namespace fn {
#define VANTRE_DECLARE_ENTRY(name) extern decltype(&::name) name;
VANTRE_AVUTIL_FUNCTIONS(VANTRE_DECLARE_ENTRY)
VANTRE_SWRESAMPLE_FUNCTIONS(VANTRE_DECLARE_ENTRY)
VANTRE_SWSCALE_FUNCTIONS(VANTRE_DECLARE_ENTRY)
VANTRE_POSTPROC_FUNCTIONS(VANTRE_DECLARE_ENTRY)
VANTRE_AVCODEC_FUNCTIONS(VANTRE_DECLARE_ENTRY)
VANTRE_AVFORMAT_FUNCTIONS(VANTRE_DECLARE_ENTRY)
VANTRE_AVFILTER_FUNCTIONS(VANTRE_DECLARE_ENTRY)
VANTRE_SDL2_FUNCTIONS(VANTRE_DECLARE_ENTRY)
#undef VANTRE_DECLARE_ENTRY
} // namespace fn
