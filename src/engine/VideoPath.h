#pragma once

// The video path: deinterlacing, picture hooks, filter graphs, crop and scale to the
// encoder's picture, frame-rate synchronisation (duplicates, drops), preview pictures and
// encoding.

#include "EngineServices.h"
#include "OptionContexts.h"
#include "OutputFiles.h"
#include "PacketWriter.h"
#include "PictureHooks.h"
#include "PreviewHandoff.h"
#include "TranscodeState.h"
#include "VideoFilter.h"

#include <atomic>

class TVideoPath {
public:
    TVideoPath(const TPendingSettings& pending, const TTaskSwitches& switches,
               const TOptionContexts& contexts, const TOutputFiles& outputs, TPictureHooks& hooks,
               TPreviewHandoff& preview, TPacketWriter& writer, TConversionStats& stats,
               const std::atomic<bool>& stopRequested, const TEngineServices& services);

    void process_video_frame(TTranscodeState& ts, int istIndex, AVFrame* frame);
    // The end of a stream: what the deinterlacer and the filter graphs still hold.
    void flush_video_filters(TTranscodeState& ts, int istIndex);
    // Builds the stream's filter graph for pictures like input; on failure the last error
    // text tells why.
    int configure_video_filters(AVOutputStream& ost, const TVideoFilter::TInput& input);
    // The scaler flags of the options, or fallback.
    static int ScalerFlags(const TOptionContexts& contexts, int fallback);

private:
    // Hands on every picture the deinterlacer has ready.
    void drain_deinterlacer(TTranscodeState& ts, int istIndex);
    void handle_picture(TTranscodeState& ts, int istIndex, AVFrame* frame);
    void send_picture_to_outputs(TTranscodeState& ts, int istIndex, AVFrame* picture);
    void filter_picture(TTranscodeState& ts, AVOutputStream& ost, AVInputStream& ist,
                        AVFrame* picture, std::int64_t pts);
    void pull_filtered(TTranscodeState& ts, AVOutputStream& ost, AVInputStream& ist);
    AVFrame* fit_picture_to_encoder(AVOutputStream& ost, AVInputStream& ist, AVFrame* picture);
    void follow_picture_size(AVOutputStream& ost, const AVInputStream& ist, const AVFrame* picture);
    AVFrame* crop_picture(AVOutputStream& ost, AVFrame* picture);
    AVFrame* scale_picture(AVOutputStream& ost, const AVFrame* source, const AVFrame* picture);
    // How many times the picture is written (repeats of them the picture before it), as the
    // sync method and the picture's time and duration (in output positions) ask.
    int video_sync(AVOutputStream& ost, double syncIpts, double duration, int& repeats);
    // The picture's length in the encoder's time base.
    double picture_duration(const AVOutputStream& ost, const AVInputStream& ist,
                            const AVFrame* picture) const;
    void do_video_out(TTranscodeState& ts, AVOutputStream& ost, AVInputStream& ist,
                      AVFrame* picture);

    const TPendingSettings& pending_;
    const TTaskSwitches& switches_;
    const TOptionContexts& contexts_;
    const TOutputFiles& outputs_;
    TPictureHooks& hooks_;
    TPreviewHandoff& preview_;
    TPacketWriter& writer_;
    TConversionStats& stats_;
    const std::atomic<bool>& stop_requested_;
    const TEngineServices& services_;
};
