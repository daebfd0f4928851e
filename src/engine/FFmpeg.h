#pragma once

// The transcoding engine: one instance converts one set of input files into one set of output
// files, driven by named options in the command-line transcoder's vocabulary.

#include "AudioPath.h"
#include "Bitmap24.h"
#include "CodecLookup.h"
#include "ConvertThread.h"
#include "EngineServices.h"
#include "EngineSettings.h"
#include "EngineTypes.h"
#include "Event.h"
#include "FrameHook.h"
#include "InputFiles.h"
#include "LegacyOptions.h"
#include "OptionContexts.h"
#include "OutputFiles.h"
#include "OutputStreams.h"
#include "PacketDecoder.h"
#include "PacketLoop.h"
#include "PacketWriter.h"
#include "PictureHooks.h"
#include "PreviewHandoff.h"
#include "RunSettings.h"
#include "StatusReport.h"
#include "StreamSetup.h"
#include "TranscodeSetup.h"
#include "TranscodeState.h"
#include "VideoPath.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TCustomFFmpeg;

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

// A facade over the parts of a conversion (see README.md in this folder): it owns the option
// state, the parts and the life cycle, and wires the parts together.
class TCustomFFmpeg {
public:
    TCustomFFmpeg();
    virtual ~TCustomFFmpeg();
    TCustomFFmpeg(const TCustomFFmpeg&) = delete;
    TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

    // ---- life cycle ----
    // Returns to Idle with every default; does nothing unless the encoder libraries are loaded.
    void Reset();
    // Reset for a task that waits its turn with a PrepareHandler: its option contexts (the
    // scaler's alone is some 50 KB) are made when its conversion starts, before the handler.
    void ResetQueued();
    // Without useThread the conversion runs to its end inside this call and null is returned;
    // with it a suspended worker is returned for the caller to resume. Null also when the task
    // is working or terminated, or lacks files (then it has terminated already).
    TConvertThread* Start(bool useThread, TThreadPriority priority = TThreadPriority::tpNormal);
    void Stop(bool wait);
    // A task that never started and never will: its one terminate notice is given now, on the
    // calling thread. Nothing for a task that started or already ended.
    void CancelUnstarted();
    // Joins the thread of a conversion that has ended, from another thread: its stack goes
    // now rather than with the task. Nothing while the task works or before it has ended.
    void JoinEndedThread();
    void Pause();
    void Resume();
    void SetPreviewFlags(std::uint8_t flags);

    // ---- configuration ----
    // Raises FFmpegException on invalid input; unknown names go to the generic option handler.
    void SetOption(const std::string& name, const std::string& value);
    bool OpenInputFile(const std::string& fileName);
    // Returns the new number of output files, or -1 with LastErrorText set.
    int OpenOutputFile(const std::string& fileName, bool join = false);

    // Typed setters: the effect of the option named, with the guards noted. Options without
    // one are set by name through SetOption.
    void SetFormat(const std::string& name); // f
    void ApplyPreset(const std::string& optionName, const std::string& presetName);
    // The crop bands (<= 0 ignored), without the named options' deprecation warning.
    void SetCropTop(int pixels);
    void SetCropBottom(int pixels);
    void SetCropLeft(int pixels);
    void SetCropRight(int pixels);
    bool SetIntOption(const std::string& name, int value); // generic; never raises
    void SetAudioSampleRate(int rate);                     // <= 0 ignored
    void SetAudioChannels(int channels);                   // <= 0 ignored
    void SetAudioVolume(int volume);                       // < 0 ignored
    void SetAudioSyncMethod(int method);
    void SetMuxDelay(float seconds);                  // <= 0 ignored
    void SetStartTime(std::int64_t microseconds);     // NoTimestamp ignored
    void SetRecordingTime(std::int64_t microseconds); // also TotalDuration
    void SetTimestamp(std::int64_t seconds);
    void SetProgramId(int id); // < 0 ignored
    void SetVerbose(int level);
    void SetTarget(const std::string& kind, const std::string& norm,
                   const std::string& fallbackNorm);
    void SetVideoDisable(bool value);
    void SetAudioDisable(bool value);

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
    bool JoinMode() const { return output_files_.JoinMode(); }
    std::uint8_t PreviewFlags() const;
    std::int64_t TotalDuration() const { return total_duration_; }
    int Verbose() const { return switches_.verbose; }
    int FrameCounter() const { return hooks_.FrameCounter(); }
    int InputFileCount() const { return input_files_.Count(); }
    int OutputFileCount() const { return output_files_.Count(); }
    AVFormatContext* InputContext(int index) const;
    const TPendingSettings& Pending() const { return pending_; }
    const TTaskSwitches& Switches() const { return switches_; }

    std::int64_t ReportInterval() const { return loop_.ReportInterval(); }
    void SetReportInterval(std::int64_t microseconds) { loop_.SetReportInterval(microseconds); }
    std::int64_t PreviewInterval() const { return preview_.Interval(); }

    // ---- callbacks (an unassigned one is skipped) ----
    TProgressHandler ProgressHandler;
    TTerminateHandler TerminateHandler;
    // Runs first on the conversion's own thread: a task may open its files only when its turn
    // comes. An exception fails the task with its text; a stop before it skips the conversion.
    std::function<void(TCustomFFmpeg& sender)> PrepareHandler;
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

    // ---- files and streams: the option handlers' way into the parts ----
    bool opt_input_file(const std::string& fileName);
    int opt_output_file(const std::string& fileName, bool join);
    // newvideo, newaudio, newsubtitle: add a stream to the last output file.
    void new_video_stream(TOutputFile& file, int fileIndex);
    void new_audio_stream(TOutputFile& file, int fileIndex);
    void new_subtitle_stream(TOutputFile& file, int fileIndex);
    TOutputFile& LastOutputFile();
    // Whether the file is one of the opened inputs (same file on disk); its index or -1.
    int FindInputFile(const std::string& fileName) const;

    // ---- conversion ----
    // Runs the whole conversion; raises FFmpegException on failure.
    void transcode();
    // Frees what a conversion allocated at run time (also after an exception).
    void ReleaseTranscodeState();
    // Called by the conversion between packets: holds the worker while paused.
    void CheckPause();

    // ---- life-cycle internals (CustomFFmpeg.cpp) ----
    void ConversionBody();
    void DoTerminate();
    void CleanUp();
    void ResetState(bool withContexts);
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
    std::atomic<bool> stop_requested_{false};
    std::int64_t& total_duration_ = settings_.TotalDuration();

    // The parts (README.md): each reads the run settings and calls the few parts it needs.
    TEngineServices services_;
    const TRunSettings run_{settings_.Pending(),      settings_.Switches(),
                            settings_.Contexts(),     settings_.StreamMaps(),
                            settings_.MetaDataMaps(), settings_.StreamIdMap(),
                            stop_requested_,          services_};
    TInputFiles input_files_;
    TOutputStreams output_streams_;
    TOutputFiles output_files_;
    TStatusReport report_;
    TPreviewHandoff preview_;
    TPictureHooks hooks_;
    TPacketWriter writer_;
    TAudioPath audio_;
    TVideoPath video_;
    TPacketDecoder decoder_;
    TStreamSetup stream_setup_;
    TTranscodeSetup setup_;
    TPacketLoop loop_;
    std::unique_ptr<TTranscodeState> transcode_state_;

    // Status.
    std::atomic<bool> working_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> termination_claimed_{false};

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
