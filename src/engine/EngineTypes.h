#pragma once

// State of one conversion task, grouped so that Reset restores each group by assignment.
// Names follow the command-line transcoder the engine's option vocabulary comes from.

#include "LibraryFunctions.h"
#include "MediaPtr.h"

#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

inline constexpr int MaxFiles = 20;
inline constexpr int MAX_STREAMS = 20;
inline constexpr int MaxStreamMaps = 400;
inline constexpr int MaxMetaDataMaps = 20;
inline constexpr int MaxInputStreams = 400;
inline constexpr int VideoBitBufferSize = 262144;

// Thread priorities of the conversion threads, mapped to nice values on this platform.
enum class TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// Settings consumed by the next input, output or stream that is opened or created.
struct TPendingSettings {
    std::string file_format; // f
    int frame_width = 0;     // s
    int frame_height = 0;
    float frame_aspect_ratio = 0; // aspect; 0 = unset
    int frame_pix_fmt = -1;       // pix_fmt; -1 = none
    int audio_sample_fmt = -1;    // sample_fmt
    int frame_topBand = 0;        // croptop ...
    int frame_bottomBand = 0;
    int frame_leftBand = 0;
    int frame_rightBand = 0;
    // vframes, aframes, dframes and the subtitle limit, indexed by media type.
    std::array<int, 4> max_frames{INT_MAX, INT_MAX, INT_MAX, INT_MAX};
    AVRational frame_rate{0, 0};             // r; 0/0 = unset
    float video_qscale = 0;                  // qscale; 0 = unset
    std::vector<std::uint16_t> intra_matrix; // empty = none
    std::vector<std::uint16_t> inter_matrix;
    bool has_intra_matrix = false;
    bool has_inter_matrix = false;
    std::string video_rc_override_string;             // rc_override
    bool video_disable = false;                       // vn
    int video_discard = 0;                            // vdt
    std::string video_codec_name;                     // vcodec; empty = none
    std::uint32_t video_codec_tag = 0;                // vtag
    std::string video_language;                       // vlang
    bool same_quality = false;                        // sameq
    bool do_deinterlace = false;                      // deinterlace
    int top_field_first = -1;                         // top
    int me_threshold = 0;                             // me_threshold
    int intra_dc_precision = 8;                       // dc
    bool loop_input = false;                          // loop_input
    int loop_output = -1;                             // loop_output
    bool qp_hist = false;                             // qphist
    std::string vfilters;                             // vf, vfilters
    bool intra_only = false;                          // intra
    int audio_sample_rate = 44100;                    // ar
    std::int64_t channel_layout = 0;                  // channel mask of the last input's audio
    float audio_qscale = -99999;                      // aq; -99999 = none
    bool audio_disable = false;                       // an
    int audio_channels = 2;                           // ac
    std::string audio_codec_name;                     // acodec
    std::uint32_t audio_codec_tag = 0;                // atag
    std::string audio_language;                       // alang
    bool subtitle_disable = false;                    // sn
    std::string subtitle_codec_name;                  // scodec
    std::string subtitle_language;                    // slang
    std::uint32_t subtitle_codec_tag = 0;             // stag
    float mux_preload = 0.5f;                         // muxpreload, seconds
    float mux_max_delay = 0.7f;                       // muxdelay, seconds
    std::int64_t recording_time = INT64_MAX;          // t, microseconds
    std::int64_t start_time = 0;                      // ss, microseconds
    std::int64_t recording_timestamp = 0;             // timestamp, seconds
    std::int64_t input_ts_offset = 0;                 // itsoffset, microseconds
    std::array<double, MAX_STREAMS> input_ts_scale{}; // itsscale, for the next input only
    bool video_stream_copy = false;
    bool audio_stream_copy = false;
    bool subtitle_stream_copy = false;
    int video_channel = 0;      // vc
    std::string video_standard; // tvstd
    int opt_programid = 0;      // programid
};

// Switches that hold for the whole task.
struct TTaskSwitches {
    bool do_pkt_dump = false; // dump
    bool do_hex_dump = false; // hex
    bool do_psnr = false;     // psnr
    int do_pass = 0;          // pass
    std::string pass_logfilename_prefix;
    int video_sync_method = -1; // vsync
    int audio_sync_method = 0;  // async
    float audio_drift_threshold = 0.1f;
    bool copy_ts = false;        // copyts
    bool opt_shortest = false;   // shortest
    int video_global_header = 0; // vglobal
    std::string vstats_filename; // vstats, vstats_file
    int copy_initial_nonkeyframes = 0;
    bool rate_emu = false;            // re
    int audio_volume = 256;           // vol
    bool exit_on_error = false;       // xerror
    int verbose = 1;                  // v
    int thread_count = 1;             // decoder threads of the old interface
    std::uint64_t limit_filesize = 0; // fs
    bool force_fps = false;
    bool input_sync = false;    // isync
    bool image2_compat = false; // set by f pgmyuv
    float dts_delta_threshold = 10;
    int sws_flags = SWS_BICUBIC;
    std::string vaapi_device; // vaapi_device: the render node of device-memory encoders
    bool vhook_active = false;
};

struct TStreamMap {
    int file_index = 0;
    int stream_index = 0;
    int sync_file_index = 0;
    int sync_stream_index = 0;
};

struct TMetaDataMap {
    int out_file = 0;
    int in_file = 0;
};

using TCodecContextPtr = media::OpenedCodecContextPtr;

// An opened input file.
struct TInputFileSlot {
    media::MediaFileInputPtr ctx;
    std::int64_t ts_offset = 0; // microseconds
    std::array<double, MAX_STREAMS> ts_scale{};
    std::string file_name; // the caller's name
    // Identity of the file on disk, to refuse it as an output.
    bool has_identity = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // One decoder context per stream (null for data and attachment streams), filled from the
    // stream's parameters when the file is opened and opened by the conversion set-up.
    std::vector<TCodecContextPtr> decoders;
};

// One stream of an output file with its own encoder context (the libraries' streams carry
// parameters only). For a copied stream the context just holds the settings given for it.
struct TOutputStreamSlot {
    AVStream* st = nullptr; // owned by the file's context
    TCodecContextPtr enc;
    const AVCodec* codec = nullptr; // encoder found by name, or the default one; may be null
    bool codec_by_name = false;
    bool stream_copy = false;
    float quality = 0;                          // 118 x the fixed quantizer, 0 when none
    std::vector<std::string> bitstream_filters; // "name" or "name=args", in order
};

// An opened output file. In join mode several slots of the output table refer to one file.
struct TOutputFile {
    media::OutputContextPtr ctx; // the byte stream is closed with it
    std::string file_name;       // the caller's name, not the library form
    // The regular file this task created by opening the output, to remove it again when the
    // task fails (and never anything else that comes to stand under that name).
    bool created_file = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::vector<TOutputStreamSlot> streams;
    int preload = 0;      // microseconds, handed to muxers that know "preload"
    int loop_output = -1; // handed to muxers that know "loop"
    bool header_written = false;
    // Bytes known to be in the file: the header, then every packet given to the muxer. Muxers
    // that gather packets in memory (clusters) show a byte position far behind.
    std::int64_t header_bytes = 0;
    std::int64_t muxed_bytes = 0;
};

using TMetadataEntries = std::vector<std::pair<std::string, std::string>>;
