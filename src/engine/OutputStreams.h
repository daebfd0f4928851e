#pragma once

// Creating the streams of an output file from the pending settings: the encoder and its
// parameters, or a stream copy; the pending stream settings are consumed.

#include "EngineServices.h"
#include "EngineTypes.h"
#include "OptionContexts.h"

#include <array>
#include <string>
#include <vector>

class TOutputStreams {
public:
    // The bitstream filter lists (video, audio, subtitle) are handed to the next stream of
    // their kind.
    TOutputStreams(TPendingSettings& pending, const TTaskSwitches& switches,
                   const TOptionContexts& contexts, const std::array<int, MAX_STREAMS>& streamIds,
                   std::vector<std::string>& videoFilters, std::vector<std::string>& audioFilters,
                   std::vector<std::string>& subtitleFilters, const TEngineServices& services);

    // Raise FFmpegException when the stream cannot be made.
    void new_video_stream(TOutputFile& file);
    void new_audio_stream(TOutputFile& file);
    void new_subtitle_stream(TOutputFile& file);

private:
    // The encoder named or guessed for the kind; raises when a named one is not found.
    const AVCodec* choose_encoder(const TOutputFile& file, AVMediaType type,
                                  const std::string& name, bool& byName) const;
    TOutputStreamSlot& add_stream(TOutputFile& file, const AVCodec* codec, std::string& codecName);
    void set_header_flags(AVCodecContext* enc, const AVOutputFormat* fmt) const;
    void set_video_encoding(TOutputFile& file, TOutputStreamSlot& slot, AVRational sar);
    void set_video_quality(TOutputStreamSlot& slot);
    void set_audio_encoding(TOutputFile& file, TOutputStreamSlot& slot);
    void ParseRcOverride(AVCodecContext* enc);

    TPendingSettings& pending_;
    const TTaskSwitches& switches_;
    const TOptionContexts& contexts_;
    const std::array<int, MAX_STREAMS>& stream_ids_;
    std::vector<std::string>& video_bitstream_filters_;
    std::vector<std::string>& audio_bitstream_filters_;
    std::vector<std::string>& subtitle_bitstream_filters_;
    const TEngineServices& services_;
};
