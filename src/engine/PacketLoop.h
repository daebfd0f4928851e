#pragma once

// The packet loop of a conversion: which input to read next, time-stamp fixes, the end of
// each input in join mode, the status reports between packets, and the end of the
// conversion (drain, trailers, final report, the byte streams closed).

#include "AudioPath.h"
#include "InputFiles.h"
#include "OutputFiles.h"
#include "PacketDecoder.h"
#include "PacketWriter.h"
#include "RunSettings.h"
#include "StatusReport.h"
#include "TranscodeState.h"

#include <atomic>
#include <cstdint>
#include <functional>

class TPacketLoop {
public:
    // The parts the loop reads from, hands packets to, drains and reports through.
    struct TLinks {
        TInputFiles& inputs;
        const TOutputFiles& outputs;
        TPacketDecoder& decoder;
        TPacketWriter& writer;
        TAudioPath& audio;
        TStatusReport& report;
    };
    // checkPause holds the worker while the task is paused.
    TPacketLoop(const TRunSettings& run, const TLinks& links, std::function<void()> checkPause);

    // Runs to the end of the inputs (or a stop) and completes the files; raises
    // FFmpegException on failure.
    void Run(TTranscodeState& ts);
    std::int64_t ReportInterval() const { return report_interval_; }
    void SetReportInterval(std::int64_t microseconds) { report_interval_ = microseconds; }

private:
    // Handled: a packet went through, time for a status report.
    enum class TStep { Handled, Nothing, End };
    TStep step(TTranscodeState& ts);
    TStep read_failed(TTranscodeState& ts, int fileIndex, int ret);
    // False when the packet could not be decoded (and that was only logged).
    bool handle_packet(TTranscodeState& ts, int fileIndex, AVPacket* pkt);
    int choose_input_file(TTranscodeState& ts);
    void fix_packet_timestamps(AVInputStream& ist, AVPacket* pkt);
    void fix_discontinuity(AVInputStream& ist, AVPacket* pkt);
    bool end_of_input_file(TTranscodeState& ts, int fileIndex);
    void finish(TTranscodeState& ts);
    void flush_encoders(TTranscodeState& ts);
    // Raises when an output received no packet at all.
    void check_frames_written(const TTranscodeState& ts);
    void write_trailers(TTranscodeState& ts);
    // Flushes and closes the outputs' byte streams; raises on the first write error.
    void close_outputs(TTranscodeState& ts);

    const TPendingSettings& pending_;
    const TTaskSwitches& switches_;
    TInputFiles& inputs_;
    const TOutputFiles& outputs_;
    TPacketDecoder& decoder_;
    TPacketWriter& writer_;
    TAudioPath& audio_;
    TStatusReport& report_;
    const std::atomic<bool>& stop_requested_;
    std::function<void()> check_pause_;
    const TEngineServices& services_;
    std::int64_t report_interval_ = 500000;
};
