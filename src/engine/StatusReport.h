#pragma once

// Status reports of a running conversion: the stream mapping, the status line handed to the
// progress callback or the log, and the closing summary.

#include "EngineServices.h"
#include "EngineTypes.h"
#include "TranscodeState.h"

#include <string>

class TCustomFFmpeg;

class TStatusReport {
public:
    // The task is the sender of the progress callback and tells the total duration.
    TStatusReport(TCustomFFmpeg& task, const TPendingSettings& pending,
                  const TTaskSwitches& switches, TConversionStats& stats,
                  const TEngineServices& services);

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
    const TPendingSettings& pending_;
    const TTaskSwitches& switches_;
    TConversionStats& stats_;
    const TEngineServices& services_;
};
