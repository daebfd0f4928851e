#pragma once

// The input files of a task: opening them with the pending settings (format, forced decoders,
// program, start time), what they tell back into those settings, and their identity on disk.

#include "RunSettings.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TEngineSettings;

class TInputFiles {
public:
    // Opening a file uses up the settings' pending format, codecs, program and start time,
    // and leaves what the file tells there.
    TInputFiles(const TRunSettings& run, TEngineSettings& settings);

    // Opens the file, or returns false with the last error text set; a longer input raises
    // totalDuration to its length. Raises FFmpegException on an unknown forced format.
    bool opt_input_file(const std::string& fileName, std::int64_t& totalDuration);
    // Whether the file is one of the opened inputs (same file on disk); its index or -1.
    int FindInputFile(const std::string& fileName) const;

    int Count() const { return static_cast<int>(slots_.size()); }
    bool Empty() const { return slots_.empty(); }
    TInputFileSlot& operator[](int index) { return slots_[index]; }
    const TInputFileSlot& operator[](int index) const { return slots_[index]; }
    std::vector<TInputFileSlot>::const_iterator begin() const { return slots_.begin(); }
    std::vector<TInputFileSlot>::const_iterator end() const { return slots_.end(); }
    // Null when the index is out of range.
    AVFormatContext* Context(int index) const;
    // The decoder forced by name for a stream (numbered across all inputs), or null.
    const AVCodec* ForcedDecoder(int istIndex) const;
    void Clear();

private:
    using TForced = std::array<const AVCodec*, 3>; // video, audio, subtitle

    bool fail(const std::string& text);
    void clear_codec_names();
    bool find_forced_decoders(TForced& forced);
    void force_decoders(AVFormatContext* ctx, const TForced& forced) const;
    bool select_program(AVFormatContext* ctx);
    bool seek_to_start(AVFormatContext* ctx, const std::string& fileName, std::int64_t& timestamp);
    void add_streams(AVFormatContext* ctx, TInputFileSlot& slot, const TForced& forced,
                     std::vector<const AVCodec*>& codecs);
    void describe_video_stream(AVStream* st, const AVCodecContext* dec, int index);
    void describe_audio_stream(const AVCodecParameters* par);
    void take_file(TInputFileSlot slot, std::int64_t timestamp,
                   const std::vector<const AVCodec*>& codecs);

    const TPendingSettings& pending_;
    const TTaskSwitches& switches_;
    const TOptionContexts& contexts_;
    TEngineSettings& settings_;
    const TEngineServices& services_;
    std::vector<TInputFileSlot> slots_;
    std::vector<const AVCodec*> codecs_; // forced decoder per input stream, or null
};
