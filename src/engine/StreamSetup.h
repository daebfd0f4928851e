#pragma once

// Codec set-up of a conversion: each output stream prepared for stream copy or encoding (the
// scaler or filter graph, the two-pass log), the encoders and decoders opened and freed again,
// and the bitstream-filter chains.

#include "InputFiles.h"
#include "OutputFiles.h"
#include "PictureHooks.h"
#include "PreviewHandoff.h"
#include "RunSettings.h"
#include "StatusReport.h"
#include "TranscodeState.h"
#include "VideoPath.h"

#include <utility>

class TStreamSetup {
public:
    // The files, the parts that decide whether a stream may be copied, the video path whose
    // filter graphs it builds, and where a failure is reported.
    struct TLinks {
        TInputFiles& inputs;
        const TOutputFiles& outputs;
        const TPictureHooks& hooks;
        const TPreviewHandoff& preview;
        TVideoPath& video;
        TStatusReport& report;
    };
    TStreamSetup(const TRunSettings& run, const TLinks& links);

    void prepare_copy_stream(AVOutputStream& ost, const AVInputStream& ist);
    void prepare_video_encoding(AVOutputStream& ost, const AVInputStream& ist);
    void prepare_audio_encoding(AVOutputStream& ost, AVInputStream& ist);
    void open_encoders(TTranscodeState& ts);
    void open_decoders(TTranscodeState& ts);
    void init_bitstream_filters(AVOutputStream& ost);
    // Frees the encoders and decoders that were opened; the others go with their files.
    void release_codecs(TTranscodeState& ts);

private:
    static std::pair<int, int> UprightSize(const AVInputStream& ist);
    void check_copy_allowed(int type) const;
    void copy_time_base(AVOutputStream& ost, const AVInputStream& ist, int type) const;
    // Rounds the encoder's size and the crop bands to the chroma subsampling of its format.
    void make_even_for_encoder(AVOutputStream& ost);
    void set_crop_bands(AVOutputStream& ost) const;
    void set_up_video_filters(AVOutputStream& ost, const AVInputStream& ist, bool sizeKnown,
                              bool formatKnown);
    void open_pass_log(AVOutputStream& ost, int ostIndex, AVDictionary** options);
    void open_encoder(TTranscodeState& ts, AVOutputStream& ost, int ostIndex);
    void copy_subtitle_header(TTranscodeState& ts, AVOutputStream& ost);
    void copy_coded_side_data(AVOutputStream& ost);
    void open_decoder(TTranscodeState& ts, int istIndex);

    const TPendingSettings& pending_;
    const TTaskSwitches& switches_;
    const TOptionContexts& contexts_;
    TInputFiles& inputs_;
    const TOutputFiles& outputs_;
    const TPictureHooks& hooks_;
    const TPreviewHandoff& preview_;
    TVideoPath& video_;
    TStatusReport& report_;
    const TEngineServices& services_;
};
