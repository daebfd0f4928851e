#pragma once

// Status reports of a running conversion: the stream mapping, the status line handed to the
// progress callback or the log, and the closing summary.

#include "RunSettings.h"
#include "TranscodeState.h"

#include <string>

class TCustomFFmpeg;

class TStatusReport {
public:
    // The task is the sender of the progress callback and tells the total duration.
    TStatusReport(TCustomFFmpeg& task, const TRunSettings& run);

    // The counters the report shows; the parts that write, drop or repeat add to them.
    const TConversionStats& Stats() const { return stats_; }
    void ResetStats() { stats_ = TConversionStats{}; }
    void StartTimer();
    void AddVideoBytes(std::int64_t bytes) { stats_.video_size += bytes; }
    void AddAudioBytes(std::int64_t bytes) { stats_.audio_size += bytes; }
    void AddExtraBytes(std::int64_t bytes) { stats_.extra_size += bytes; }
    // A dropped or repeated picture also puts the next status line in the log.
    void FramesDropped(int count);
    void FramesRepeated(int count);

    void print_report(TTranscodeState& ts, bool isLastReport);
    void print_stream_mapping(const TTranscodeState& ts);
    // Shows the mapping so far, logs the message and raises it.
    [[noreturn]] void setup_fail(const TTranscodeState& ts, const std::string& message);

private:
    struct TVideoStatus {
        bool ready = true; // false until the first picture is out
        int frame_number = -1;
        int fps = -1;
        float quality = -1;
    };
    TVideoStatus video_status(TTranscodeState& ts, bool isLastReport, std::string& line) const;
    void append_psnr(const AVOutputStream& ost, bool isLastReport, int frameNumber,
                     std::string& line) const;
    void log_summary(std::int64_t totalSize);

    TCustomFFmpeg& task_;
    const TRunSettings& run_;
    const TTaskSwitches& switches_;
    const TEngineServices& services_;
    TConversionStats stats_;
};
