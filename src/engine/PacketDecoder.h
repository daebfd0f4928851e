#pragma once

// Input packets into decoded pictures, sound and subtitles, handed to the video path, the
// audio path or the subtitle encoder; packets of copied streams go straight to the writer.

#include "AudioPath.h"
#include "PacketWriter.h"
#include "RunSettings.h"
#include "TranscodeState.h"
#include "VideoPath.h"

class TPacketDecoder {
public:
    // Where decoded and copied data goes.
    struct TLinks {
        TVideoPath& video;
        TAudioPath& audio;
        TPacketWriter& writer;
    };
    TPacketDecoder(const TRunSettings& run, const TLinks& links);

    // One packet of an input stream (null: drain its decoder); -1 when decoding failed.
    int output_packet(TTranscodeState& ts, int istIndex, const AVPacket* pkt);

private:
    int decode_frames(TTranscodeState& ts, int istIndex, const AVPacket* pkt);
    int decode_subtitle(TTranscodeState& ts, int istIndex, const AVPacket* pkt);
    // Not decoded: the clock advances by what the packet holds.
    void advance_clock(AVInputStream& ist, const AVPacket* pkt) const;
    void dispatch_decoded(TTranscodeState& ts, int istIndex, AVFrame* frame);
    void emulate_rate(const AVInputStream& ist) const;
    void copy_packet(TTranscodeState& ts, int istIndex, const AVPacket& pkt);

    const TPendingSettings& pending_;
    const TTaskSwitches& switches_;
    TVideoPath& video_;
    TAudioPath& audio_;
    TPacketWriter& writer_;
};
