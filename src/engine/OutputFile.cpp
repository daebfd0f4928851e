// Opening output files and creating their streams from the pending settings.

#include "FFmpeg.h"

#include "FFmpegException.h"
#include "FFmpegMessages.h"

int TCustomFFmpeg::opt_output_file(const std::string& fileName, bool) {
    SetLastErrorText(fileName + ": output files cannot be opened yet");
    return -1;
}

TOutputFile& TCustomFFmpeg::LastOutputFile() {
    if (output_files_.empty()) {
        throw FFmpegException(msg::NoOutputFile);
    }
    return *output_files_.back();
}

void TCustomFFmpeg::new_video_stream(TOutputFile&, int) {
    throw FFmpegException("streams cannot be created yet");
}

void TCustomFFmpeg::new_audio_stream(TOutputFile&, int) {
    throw FFmpegException("streams cannot be created yet");
}

void TCustomFFmpeg::new_subtitle_stream(TOutputFile&, int) {
    throw FFmpegException("streams cannot be created yet");
}
