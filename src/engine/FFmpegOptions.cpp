// The option parser and option table.

#include "FFmpeg.h"

#include "FFmpegException.h"

void TCustomFFmpeg::SetOption(const std::string& name, const std::string&) {
    throw FFmpegException("option table not available yet: " + name);
}

bool TCustomFFmpeg::opt_default(const std::string& name, const std::string& value) {
    return opt_ctx_.SetDefaultOption(name, value);
}

void TCustomFFmpeg::opt_preset(const std::string&, const std::string& presetName) {
    throw FFmpegException("presets not available yet: " + presetName);
}

void TCustomFFmpeg::opt_target(const std::string& value) {
    throw FFmpegException("targets not available yet: " + value);
}

void TCustomFFmpeg::SetTargetNorm(const std::string& kind, const std::string&, const std::string&) {
    throw FFmpegException("targets not available yet: " + kind);
}
