#pragma once

// The audio path: volume, conversion to the encoder's format and rate, synchronisation with
// the input clock (silence, dropped samples, drift compensation), whole encoder frames from a
// FIFO, and the final flush.

#include "PacketWriter.h"
#include "RunSettings.h"
#include "TranscodeState.h"

class TAudioPath {
public:
    TAudioPath(const TRunSettings& run, TPacketWriter& writer);

    void apply_volume(AVFrame* frame) const;
    void do_audio_out(TTranscodeState& ts, AVOutputStream& ost, AVInputStream& ist,
                      const AVFrame* frame);
    // What the resampler and the FIFO still hold, then the encoder's own delay.
    void flush_audio(TTranscodeState& ts, AVOutputStream& ost);

private:
    struct TSyncCut {
        bool drop = false; // the whole block lies before the output's clock
        int skip = 0;      // input samples dropped at the start of the block
        int silence = 0;   // output samples of silence put before it
    };
    void setup_audio_resampler(AVOutputStream& ost, const AVFrame* frame);
    TSyncCut sync_audio(TTranscodeState& ts, AVOutputStream& ost, AVInputStream& ist,
                        const AVFrame* frame);
    TSyncCut correct_drift(AVOutputStream& ost, AVInputStream& ist, double delta, int inRate,
                           int inSamples);
    // False when the conversion failed and was only logged.
    bool write_samples(AVOutputStream& ost, const AVFrame* frame, int skip);
    void encode_audio_fifo(TTranscodeState& ts, AVOutputStream& ost, bool flush);

    const TPendingSettings& pending_;
    const TTaskSwitches& switches_;
    TPacketWriter& writer_;
    const TEngineServices& services_;
};
