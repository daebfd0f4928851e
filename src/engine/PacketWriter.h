#pragma once

// Packets on their way into the files: stream copy, the encoders' output, subtitles, the
// bitstream filters and the muxer, with the byte counts and the video statistics file.

#include "RunSettings.h"
#include "TranscodeState.h"

#include <cstdint>

class TStatusReport;

class TPacketWriter {
public:
    // The byte counts go to the report.
    TPacketWriter(const TRunSettings& run, TStatusReport& report);

    void do_streamcopy(AVOutputStream& ost, const AVInputStream& ist, const AVPacket& pkt);
    // Sends a frame (null: the end) and writes what comes out; returns the bytes written.
    int encode_frame(TTranscodeState& ts, AVOutputStream& ost, const AVFrame* frame);
    void do_subtitle_out(TTranscodeState& ts, AVOutputStream& ost, const AVInputStream& ist,
                         AVSubtitle& sub, std::int64_t pktPts);
    void write_frame(AVOutputStream& ost, AVPacket* pkt);

private:
    void filter_packet(AVOutputStream& ost, AVPacket* pkt, size_t stage);
    void mux_packet(AVOutputStream& ost, AVPacket* pkt);
    void read_quality_stats(AVOutputStream& ost, const AVPacket* pkt);
    void do_video_stats(TTranscodeState& ts, AVOutputStream& ost, int frameSize);

    const TPendingSettings& pending_;
    const TTaskSwitches& switches_;
    TStatusReport& report_;
    const TEngineServices& services_;
};
