// The conversion: set-up, packet loop, reports and release of the working tables.

#include "FFmpeg.h"

#include "FFmpegException.h"
#include "TranscodeState.h"

void TCustomFFmpeg::transcode() {
    throw FFmpegException("transcoding is not available yet");
}

void TCustomFFmpeg::ReleaseTranscodeState() {
    transcode_state_.reset();
}
