#pragma once

// The transcoding engine: one instance converts one set of input files into one set of output
// files, driven by named options in the command-line transcoder's vocabulary.

#include "Bitmap24.h"
#include "CodecLookup.h"
#include "ConvertThread.h"
#include "EngineSettings.h"
#include "EngineTypes.h"
#include "Event.h"
#include "FrameHook.h"
#include "LegacyOptions.h"
#include "OptionContexts.h"
#include "RGBConverter.h"
#include "VideoFilter.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TCustomFFmpeg;
class TPreviewer;
struct AVInputStream;
struct AVOutputStream;
struct TTranscodeState;

using TProgressHandler = std::function<void(
    TCustomFFmpeg& sender, int fileIndex, int frameNumber, int fps, float quality, float bitRate,
    std::int64_t totalSize, std::int64_t currentTime, std::int64_t totalDuration)>;
using TTerminateHandler = std::function<void(TCustomFFmpeg& sender)>;
// The handler paints on the bitmap; it may set stopHook, or clear update to discard its work.
using TCustomHookHandler =
    std::function<void(TCustomFFmpeg& sender, TBitmap24& bitmap, bool& stopHook, bool& update,
                       std::int64_t pts, int frameNumber)>;
using TPreviewBitmapHandler = std::function<void(TCustomFFmpeg& sender, const TBitmap24& bitmap,
                                                 std::int64_t pts, int frameNumber)>;

inline constexpr std::uint8_t PreviewWindowFlag = 1; // bit 0: preview window
inline constexpr std::uint8_t PreviewBitmapFlag = 2; // bit 1: preview bitmaps

class TCustomFFmpeg {
public:
    TCustomFFmpeg();
    virtual ~TCustomFFmpeg();
    TCustomFFmpeg(const TCustomFFmpeg&) = delete;
    TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

    // ---- life cycle ----
    // Returns to Idle with every default; does nothing unless the encoder libraries are loaded.
    void Reset();
    // Without useThread the conversion runs to its end inside this call and null is returned;
    // with it a suspended worker is returned for the caller to resume. Null also when the task
    // is working or terminated, or lacks files (then it has terminated already).
    TConvertThread* Start(bool useThread, TThreadPriority priority = TThreadPriority::tpNormal);
    void Stop(bool wait);
    void Pause();
    void Resume();
    void SetPreviewFlags(std::uint8_t flags);

    // ---- configuration ----
    // Raises FFmpegException on invalid input; unknown names go to the generic option handler.
    void SetOption(const std::string& name, const std::string& value);
    bool OpenInputFile(const std::string& fileName);
    // Returns the new number of output files, or -1 with LastErrorText set.
    int OpenOutputFile(const std::string& fileName, bool join = false);

    // Typed setters: the effect of the option named, with the guards noted.
    void SetFormat(const std::string& name);        // f
    void SetVideoCodec(const std::string& name);    // vcodec; empty ignored
    void SetAudioCodec(const std::string& name);    // acodec; empty ignored
    void SetSubtitleCodec(const std::string& name); // scodec; empty ignored
    void ApplyPreset(const std::string& optionName, const std::string& presetName);
    void SetFrameSize(const std::string& text);   // s; empty ignored
    void SetFrameRate(const std::string& text);   // r; empty ignored
    void SetAspectRatio(const std::string& text); // aspect; empty ignored
    void SetCropTop(int pixels);
    void SetCropBottom(int pixels);
    void SetCropLeft(int pixels);
    void SetCropRight(int pixels);
    void SetVideoFilters(const std::string& text); // vf; empty ignored
    void SetVideoTag(const std::string& text);     // empty ignored
    void SetAudioTag(const std::string& text);
    void SetSubtitleTag(const std::string& text);
    bool SetIntOption(const std::string& name, int value); // generic; never raises
    void SetAudioSampleRate(int rate);                     // <= 0 ignored
    void SetAudioChannels(int channels);                   // <= 0 ignored
    void SetAudioVolume(int volume);                       // < 0 ignored
    void SetAudioSyncMethod(int method);
    void SetVideoSyncMethod(int method);
    void SetMuxDelay(float seconds);                  // <= 0 ignored
    void SetMuxPreload(float seconds);                // <= 0 ignored
    void SetStartTime(std::int64_t microseconds);     // NoTimestamp ignored
    void SetRecordingTime(std::int64_t microseconds); // also TotalDuration
    void SetTimestamp(std::int64_t seconds);
    void SetProgramId(int id); // < 0 ignored
    void SetVerbose(int level);
    void AddMetadata(const std::string& key, const std::string& value);
    void SetTarget(const std::string& kind, const std::string& norm,
                   const std::string& fallbackNorm);
    void SetVideoDisable(bool value);
    void SetAudioDisable(bool value);
    void SetSubtitleDisable(bool value);
    void SetInputSync(bool value);
    void SetCopyTimestamps(bool value);
    void SetVideoLanguage(const std::string& language);
    void SetAudioLanguage(const std::string& language);
    void SetSubtitleLanguage(const std::string& language);

    // ---- status ----
    bool Working() const { return working_.load(); }
    bool StopRequested() const { return stop_requested_.load(); }
    bool Finished() const { return finished_.load(); }
    bool Terminated() const { return terminated_.load(); }
    // The worker waits at its pause point (between two packets) until Resume or Stop.
    bool Held() const { return held_.load(); }
    bool HasError() const;
    std::string ErrorMessage() const;
    std::string LastErrorText() const;
    bool JoinMode() const { return join_mode_; }
    std::uint8_t PreviewFlags() const;
    std::int64_t TotalDuration() const { return total_duration_; }
    int Verbose() const { return switches_.verbose; }
    int FrameCounter() const { return frame_counter_; }
    int InputFileCount() const { return static_cast<int>(input_files_.size()); }
    int OutputFileCount() const { return static_cast<int>(output_files_.size()); }
    AVFormatContext* InputContext(int index) const;
    const TPendingSettings& Pending() const { return pending_; }
    const TTaskSwitches& Switches() const { return switches_; }

    std::int64_t ReportInterval() const { return report_interval_; }
    void SetReportInterval(std::int64_t microseconds) { report_interval_ = microseconds; }
    std::int64_t PreviewInterval() const { return preview_interval_; }

    // ---- callbacks (an unassigned one is skipped) ----
    TProgressHandler ProgressHandler;
    TTerminateHandler TerminateHandler;
    TCustomHookHandler CustomHookHandler;
    TPreviewBitmapHandler PreviewBitmapHandler;

protected:
    // ---- settings and options (EngineSettings.cpp; the table in OptionTable.cpp) ----
    // The generic option handler.
    bool opt_default(const std::string& name, const std::string& value) {
        return settings_.opt_default(name, value);
    }
    // Codec lookup by name; on failure sets LastErrorText and returns false.
    bool find_codec(const std::string& name, AVMediaType type, bool encoder, int strict,
                    const AVCodec*& codec) const {
        return TCodecLookup::find_codec(settings_, name, type, encoder, strict, codec);
    }
    const AVCodec* default_encoder(AVCodecID id) const {
        return TCodecLookup::default_encoder(settings_, id);
    }
    // newvideo, newaudio, newsubtitle.
    void new_stream_of_type(AVMediaType type);
    TSettingsHost SettingsHost();
    void SetOptionUnlessEmpty(const std::string& name, const std::string& value);

    // ---- files and streams (InputFile.cpp, OutputFile.cpp) ----
    bool opt_input_file(const std::string& fileName);
    int opt_output_file(const std::string& fileName, bool join);
    // newvideo, newaudio, newsubtitle: add a stream to the last output file.
    void new_video_stream(TOutputFile& file, int fileIndex);
    void new_audio_stream(TOutputFile& file, int fileIndex);
    void new_subtitle_stream(TOutputFile& file, int fileIndex);
    TOutputFile& LastOutputFile();

    // Whether the file is one of the opened inputs (same file on disk); its index or -1.
    int FindInputFile(const std::string& fileName) const;
    void ParseRcOverride(AVCodecContext* enc);

    // ---- conversion (TranscodeSetup.cpp, StreamSetup.cpp, Transcode.cpp, ...) ----
    // Runs the whole conversion; raises FFmpegException on failure.
    void transcode();
    // Frees what a conversion allocated at run time (also after an exception).
    void ReleaseTranscodeState();
    // Called by the conversion between packets: holds the worker while paused.
    void CheckPause();

    // Set-up: working tables, stream choice, codecs, headers.
    void transcode_init();
    // Raises when the start time (ss given for the outputs) lies beyond every input's end.
    void check_start_time() const;
    void choose_output_sources(TTranscodeState& ts);
    void print_stream_mapping(const TTranscodeState& ts);
    [[noreturn]] void setup_fail(const TTranscodeState& ts, const std::string& message);
    void copy_metadata_and_chapters(TTranscodeState& ts);
    void write_headers(TTranscodeState& ts);
    void prepare_copy_stream(AVOutputStream& ost, const AVInputStream& ist);
    void prepare_video_encoding(AVOutputStream& ost, const AVInputStream& ist);
    // Rounds the encoder's size and the crop bands to the chroma subsampling of its format.
    void make_even_for_encoder(AVOutputStream& ost);
    void prepare_audio_encoding(AVOutputStream& ost, AVInputStream& ist);
    void open_pass_log(AVOutputStream& ost, int ostIndex, AVDictionary** options);
    int configure_video_filters(AVOutputStream& ost, const TVideoFilter::TInput& input);
    void open_encoders(TTranscodeState& ts);
    void copy_coded_side_data(AVOutputStream& ost);
    void open_decoders(TTranscodeState& ts);
    void open_decoder(TTranscodeState& ts, int istIndex);
    void init_bitstream_filters(AVOutputStream& ost);

    // The loop (Transcode.cpp, OutputPacket.cpp, Report.cpp).
    int choose_input_file(TTranscodeState& ts);
    bool end_of_input_file(TTranscodeState& ts, int fileIndex);
    void fix_packet_timestamps(AVInputStream& ist, AVPacket* pkt);
    int output_packet(TTranscodeState& ts, int istIndex, const AVPacket* pkt);
    void dispatch_decoded(TTranscodeState& ts, int istIndex, AVFrame* frame, const AVPacket* pkt);
    void do_streamcopy(AVOutputStream& ost, const AVInputStream& ist, const AVPacket& pkt);
    void write_frame(AVOutputStream& ost, AVPacket* pkt);
    void filter_packet(AVOutputStream& ost, AVPacket* pkt, size_t stage);
    void mux_packet(AVOutputStream& ost, AVPacket* pkt);
    int encode_frame(AVOutputStream& ost, const AVFrame* frame);
    void do_subtitle_out(TTranscodeState& ts, AVOutputStream& ost, const AVInputStream& ist,
                         AVSubtitle& sub, std::int64_t pktPts);
    void flush_encoders(TTranscodeState& ts);
    // Raises when an output received no packet at all.
    void check_frames_written(const TTranscodeState& ts);
    void write_trailers(TTranscodeState& ts);
    // Flushes and closes the outputs' byte streams; raises on the first write error.
    void close_outputs(TTranscodeState& ts);
    void print_report(TTranscodeState& ts, bool isLastReport);
    std::int64_t output_time(const AVOutputStream& ost) const;

    // Video path (VideoOutput.cpp, VideoHooks.cpp).
    void process_video_frame(TTranscodeState& ts, int istIndex, AVFrame* frame);
    void send_picture_to_outputs(TTranscodeState& ts, int istIndex, AVFrame* frame);
    void handle_picture(TTranscodeState& ts, int istIndex, AVFrame* frame);
    void flush_video_filters(TTranscodeState& ts, int istIndex);
    AVFrame* apply_picture_hooks(AVInputStream& ist, AVFrame* frame);
    void run_custom_hook(AVInputStream& ist, AVFrame* picture);
    void do_video_out(TTranscodeState& ts, AVOutputStream& ost, AVInputStream& ist,
                      AVFrame* picture);
    AVFrame* fit_picture_to_encoder(AVOutputStream& ost, AVInputStream& ist, AVFrame* picture);
    void preview_handoff(const AVFrame* picture, std::int64_t pts);
    void do_video_stats(TTranscodeState& ts, AVOutputStream& ost, int frameSize);

    // Audio path (AudioOutput.cpp).
    void apply_volume(AVFrame* frame) const;
    void do_audio_out(AVOutputStream& ost, AVInputStream& ist, const AVFrame* frame);
    void setup_audio_resampler(AVOutputStream& ost, const AVFrame* frame);
    void encode_audio_fifo(AVOutputStream& ost, bool flush);
    void flush_audio(AVOutputStream& ost);

    // ---- life-cycle internals (CustomFFmpeg.cpp) ----
    void ConversionBody();
    void DoTerminate();
    void CleanUp();
    // Closes the outputs and removes what a failed (or empty) conversion left behind.
    void remove_output_files();
    void RecordError(const std::string& message);
    void SetLastErrorText(const std::string& text);
    bool EncoderLibrariesLoaded() const;

    // ---- state ----
    // The option state, owned by the settings part; named here for the conversion.
    TEngineSettings settings_{SettingsHost()};
    TPendingSettings& pending_ = settings_.Pending();
    TTaskSwitches& switches_ = settings_.Switches();
    TOptionContexts& opt_ctx_ = settings_.Contexts();
    std::vector<TStreamMap>& stream_maps_ = settings_.StreamMaps();
    std::vector<TMetaDataMap>& meta_data_maps_ = settings_.MetaDataMaps();
    std::array<int, MAX_STREAMS>& streamid_map_ = settings_.StreamIdMap();
    // Pending bitstream filters per media type: names with arguments.
    std::vector<std::string>& video_bitstream_filters_ =
        settings_.BitstreamFilters(AVMEDIA_TYPE_VIDEO);
    std::vector<std::string>& audio_bitstream_filters_ =
        settings_.BitstreamFilters(AVMEDIA_TYPE_AUDIO);
    std::vector<std::string>& subtitle_bitstream_filters_ =
        settings_.BitstreamFilters(AVMEDIA_TYPE_SUBTITLE);
    TMetadataEntries& metadata_ = settings_.Metadata();
    TFrameHookChain& frame_hooks_ = settings_.FrameHooks();
    std::int64_t& total_duration_ = settings_.TotalDuration();

    std::vector<TInputFileSlot> input_files_;
    std::vector<const AVCodec*> input_codecs_; // forced decoder per input stream, or null
    std::vector<std::shared_ptr<TOutputFile>> owned_outputs_;
    std::vector<TOutputFile*> output_files_; // the output table; join mode repeats one file
    bool use_filter_graph_ = false; // a video filter text was set when an output was opened

    // Counters and run-time state, reset by Reset.
    std::int64_t video_size_ = 0;
    std::int64_t audio_size_ = 0;
    std::int64_t extra_size_ = 0;
    int nb_frames_dup_ = 0;
    int nb_frames_drop_ = 0;
    bool do_log_status_ = false; // the next status line is logged
    std::int64_t timer_start_ = 0;
    int frame_counter_ = 0; // decoded pictures through the picture hooks
    std::int64_t last_preview_time_ = 0;
    TRGBConverter hook_converter_;
    TRGBConverter preview_converter_;
    std::shared_ptr<TPreviewer> previewer_; // shared: the worker keeps it alive while it paints
    std::unique_ptr<TTranscodeState> transcode_state_;

    // Status.
    std::atomic<bool> working_{false};
    std::atomic<bool> stop_requested_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> termination_claimed_{false};
    bool join_mode_ = false;
    std::int64_t report_interval_ = 500000;
    std::int64_t preview_interval_ = 100000;
    std::uint8_t preview_flags_ = 0; // under the process-wide preview lock

private:
    mutable std::mutex status_mutex_; // error texts and thread handles
    bool has_error_ = false;
    std::string error_message_;
    std::string last_error_text_;

    std::mutex state_mutex_; // serialises Start, Stop and the termination
    std::unique_ptr<TConvertThread> convert_thread_;
    std::unique_ptr<std::thread> terminate_thread_;
    TEvent convert_done_{true};
    TEvent terminate_done_{true};

    std::mutex pause_mutex_;
    std::condition_variable pause_cv_;
    bool paused_ = false;
    std::atomic<bool> held_{false};
};

// The process-wide lock around preview flags and the preview hand-off.
std::mutex& PreviewLock();
