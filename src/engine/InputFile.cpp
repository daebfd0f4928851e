// Opening input files with the pending settings.

#include "FFmpeg.h"

#include "FFmpegException.h"

bool TCustomFFmpeg::opt_input_file(const std::string& fileName) {
    SetLastErrorText(fileName + ": input files cannot be opened yet");
    return false;
}
