#pragma once

// Creating the streams of an output file from the pending settings: the encoder and its
// parameters, or a stream copy; the pending stream settings are consumed.

#include "RunSettings.h"

#include <array>
#include <string>
#include <vector>

class TEngineSettings;

class TOutputStreams {
public:
    // A new stream uses up the settings' pending stream settings and bitstream filters.
    TOutputStreams(const TRunSettings& run, TEngineSettings& settings);

    // Raise FFmpegException when the stream cannot be made.
    void new_video_stream(TOutputFile& file);
    void new_audio_stream(TOutputFile& file);
    void new_subtitle_stream(TOutputFile& file);

private:
    // The encoder named or guessed for the kind; raises when a named one is not found.
    const AVCodec* choose_encoder(const TOutputFile& file, AVMediaType type,
                                  const std::string& name, bool& byName) const;
    TOutputStreamSlot& add_stream(TOutputFile& file, const AVCodec* codec, AVMediaType type);
    void set_header_flags(AVCodecContext* enc, const AVOutputFormat* fmt) const;
    void set_video_encoding(TOutputFile& file, TOutputStreamSlot& slot, AVRational sar);
    void set_video_quality(TOutputStreamSlot& slot);
    void set_audio_encoding(TOutputFile& file, TOutputStreamSlot& slot);
    void ParseRcOverride(AVCodecContext* enc);

    const TPendingSettings& pending_;
    const TTaskSwitches& switches_;
    const TOptionContexts& contexts_;
    const std::array<int, MAX_STREAMS>& stream_ids_;
    TEngineSettings& settings_;
    const TEngineServices& services_;
};
