#pragma once

// Working tables of one running conversion: built by the set-up, released at its end.
// Names follow the command-line transcoder the engine's option vocabulary comes from.

#include "EngineTypes.h"
#include "HardwareUpload.h"
#include "MediaUtils.h"
#include "VideoFilter.h"

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct AVInputFile {
    bool eof_reached = false;
    bool no_packet = false; // the last read said "try again"
    int ist_index = 0;      // index of its first stream in the input stream table
    int nb_streams = 0;
};

struct AVInputStream {
    int file_index = 0;
    int index = 0; // stream index in its file
    AVStream* st = nullptr;
    AVCodecContext* dec = nullptr; // owned by the input file slot
    bool discard = true;           // until an output stream selects this stream
    bool decoding_needed = false;
    bool decoder_open = false;
    std::int64_t start = 0;              // wall clock when reading began (rate emulation)
    std::int64_t next_pts = NoTimestamp; // microseconds
    std::int64_t pts = 0;                // microseconds: time stamp of the current frame
    bool is_start = true;                // until the first audio drift correction
    bool is_past_recording_time = false;
    bool flushed = false;
    float quality = 0; // quality of the last decoded picture
    media::FramePtr frame;
    // Picture hooks: a private copy of the picture for hooks to draw on, and the deinterlacer.
    media::FramePtr hook_frame;
    std::unique_ptr<TVideoFilter> deinterlacer;
    // Filters that turn the stored pictures upright (empty when they are), and whether the
    // upright picture's sides are the stored picture's swapped.
    std::string upright_filters;
    bool upright_swaps_sides = false;
};

struct AVOutputStream {
    int file_index = 0; // output file (the first slot in join mode)
    int index = 0;      // stream index in its file
    int source_index = 0;
    std::vector<int> join_sources; // join mode: source input stream per output slot
    int sync_ist = 0;
    AVStream* st = nullptr;
    TOutputFile* file = nullptr;
    TOutputStreamSlot* slot = nullptr;
    AVCodecContext* enc = nullptr; // null for a copied stream
    bool encoding_needed = false;
    bool encoder_open = false;
    bool active = true;
    std::int64_t sync_opts = 0; // next frame or sample number in the encoder's time base
    int frame_number = 0;       // frames given to the encoder, or packets copied
    int frames_written = 0;     // packets the encoder or the copy wrote
    std::int64_t last_time = 0; // end of the last packet written, microseconds
    std::int64_t last_mux_dts = NoTimestamp;

    // Video.
    bool video_crop = false;
    bool video_resample = false;
    int topBand = 0, bottomBand = 0, leftBand = 0, rightBand = 0;
    int original_topBand = 0, original_bottomBand = 0, original_leftBand = 0,
        original_rightBand = 0;
    int resample_width = 0, resample_height = 0, resample_pix_fmt = -1;
    int original_width = 0, original_height = 0; // decoded size the bands were given for
    media::SwsContextPtr img_resample_ctx;
    int sws_src_w = 0, sws_src_h = 0, sws_src_fmt = -1;
    media::FramePtr crop_frame;     // the decoded picture seen through the crop bands
    media::FramePtr resample_frame; // scaled picture for the encoder
    media::FramePtr enc_frame;      // reference handed to the encoder
    media::FramePtr last_frame;     // the last picture encoded: it fills a gap in the source
    std::unique_ptr<TVideoFilter> filter;
    // Encoders that take device pictures: the pictures end in memory and are copied there.
    std::unique_ptr<THardwareUpload> upload;
    int coded_pict_type = 0;
    int coded_quality = 0;
    std::array<std::int64_t, 4> coded_error{};
    std::array<std::int64_t, 4> error_sum{};
    bool has_coded_frame = false;

    // Audio.
    media::SwrContextPtr swr;
    int swr_in_fmt = -1;
    int swr_in_rate = 0;
    AVChannelLayout swr_in_layout{};
    bool swr_compensating = false;
    media::AudioFifoPtr fifo;
    media::FramePtr audio_frame; // one encoder frame
    std::vector<std::uint8_t*> conv_planes;
    media::AvBuffer<std::uint8_t> conv_buffer; // converted samples, grown when needed
    int conv_capacity = 0;                     // samples

    // Packets.
    std::vector<media::BsfPtr> bsfs;
    std::vector<media::PacketPtr> bsf_pkts; // one output packet per filter
    media::PacketPtr pkt;
    FilePtr logfile; // pass-1 statistics
    std::string logfilename;

    ~AVOutputStream() { fn::av_channel_layout_uninit(&swr_in_layout); }
};

// Byte and frame counts of a task for its status lines, reset with the task.
struct TConversionStats {
    std::int64_t video_size = 0;
    std::int64_t audio_size = 0;
    std::int64_t extra_size = 0;
    int nb_frames_dup = 0;
    int nb_frames_drop = 0;
    bool do_log_status = false; // the next status line is logged
    std::int64_t timer_start = 0;
};

// Where an output stream has got to, in microseconds.
inline std::int64_t output_time(const AVOutputStream& ost) {
    if (ost.enc != nullptr && ost.encoder_open) {
        return fn::av_rescale_q(ost.sync_opts, ost.enc->time_base, AV_TIME_BASE_Q);
    }
    return ost.last_time;
}

struct TTranscodeState {
    std::vector<AVInputFile> input_files;
    std::vector<std::unique_ptr<AVInputStream>> ist_table;
    std::vector<std::unique_ptr<AVOutputStream>> ost_table;
    int nb_ostreams_per_file = 0;
    int nb_slots = 1;                  // output slots: inputs joined, or 1
    std::vector<TOutputFile*> outputs; // distinct output files, in order
    int file_index = 0;                // current input file (join mode: current slot)
    media::PacketPtr pkt;
    media::FramePtr frame; // scratch frame for filtered pictures
    std::vector<std::uint8_t> subtitle_out;
    FilePtr vstats_file;
    std::array<int, 52> qp_histogram{};
    std::int64_t last_report_time = 0;
    bool header_written = false;
};
