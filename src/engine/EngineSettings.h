#pragma once

// The settings of one conversion task and the option dispatcher that writes them: pending
// settings for the next input, output or stream, task-wide switches, the generic option
// contexts, stream and meta-data maps, bitstream-filter chains, meta-data entries and frame
// hooks. The conversion reads them; only options and the typed setters write them.

#include "EngineTypes.h"
#include "FFmpegLogger.h"
#include "FrameHook.h"
#include "LegacyOptions.h"
#include "OptionContexts.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TOptionDef;

// What the options need from the task around them.
struct TSettingsHost {
    const void* sender = nullptr; // log lines name the task
    // newvideo, newaudio, newsubtitle: a stream of that type on the last output file.
    std::function<void(AVMediaType type)> newStream;
    // The opened inputs' contexts (null for a slot without one), for targets that detect the
    // television norm.
    std::function<std::vector<AVFormatContext*>()> inputContexts;
    // Codec lookups report their failure here.
    std::function<void(const std::string& text)> setLastErrorText;
};

class TEngineSettings {
public:
    explicit TEngineSettings(TSettingsHost host);
    TEngineSettings(const TEngineSettings&) = delete;
    TEngineSettings& operator=(const TEngineSettings&) = delete;

    // The option dispatcher: the row of that name handles the option; a name no row has goes
    // to the generic option handler, whose result is ignored. Raises FFmpegException on
    // invalid input.
    void SetOption(const std::string& name, const std::string& value);
    // The generic option handler: library options in today's or the old vocabulary; false
    // for a name no library knows or a refused value. Never raises.
    bool opt_default(const std::string& name, const std::string& value);

    // Every default again, with new option contexts (withContexts), or with none until
    // EnsureContexts.
    void Reset(bool withContexts = true);
    // Makes the option contexts when there are none.
    void EnsureContexts();
    // What a finished conversion leaves: the option contexts, frame hooks and the names and
    // texts the pending settings held.
    void ReleaseAfterConversion();

    TPendingSettings& Pending() { return pending_; }
    const TPendingSettings& Pending() const { return pending_; }
    TTaskSwitches& Switches() { return switches_; }
    const TTaskSwitches& Switches() const { return switches_; }
    TOptionContexts& Contexts() { return opt_ctx_; }
    TLegacyOptions& LegacyOptions() { return legacy_options_; }
    std::vector<TStreamMap>& StreamMaps() { return stream_maps_; }
    std::vector<TMetaDataMap>& MetaDataMaps() { return meta_data_maps_; }
    std::array<int, MAX_STREAMS>& StreamIdMap() { return streamid_map_; }
    const std::vector<TStreamMap>& StreamMaps() const { return stream_maps_; }
    const std::vector<TMetaDataMap>& MetaDataMaps() const { return meta_data_maps_; }
    const std::array<int, MAX_STREAMS>& StreamIdMap() const { return streamid_map_; }
    const TOptionContexts& Contexts() const { return opt_ctx_; }
    // The pending chain of video, audio or (any other type) subtitle bitstream filters.
    std::vector<std::string>& BitstreamFilters(AVMediaType type);
    TMetadataEntries& Metadata() { return metadata_; }
    TFrameHookChain& FrameHooks() { return frame_hooks_; }
    std::vector<std::vector<std::string>>& VhookArgs() { return vhook_args_; }
    // Microseconds, -1 when unknown; set by t and by the opened files.
    std::int64_t& TotalDuration() { return total_duration_; }

    // ---- what opening a file or making a stream uses up or leaves in the pending settings ----
    // The forced codecs and the channel hold for one input only.
    void ClearCodecNames();
    void ClearFileFormat() { pending_.file_format.clear(); }
    void ClearProgramId() { pending_.opt_programid = 0; }
    void ClearStartTime() { pending_.start_time = 0; }
    void ClearTimeStampScales() { pending_.input_ts_scale.fill(0); }
    // What an opened input's picture and sound tell become the settings of the next output.
    void TakeSourcePicture(int width, int height, float aspect, int pixFmt, AVRational rate);
    void TakeSourceSound(std::int64_t channelLayout, int channels, int sampleRate, int sampleFmt);
    // A new output stream of the type has used its codec, language, copy and disable settings.
    void StreamMade(AVMediaType type);
    void ClearCodecName(AVMediaType type);
    std::vector<std::string> TakeBitstreamFilters(AVMediaType type);
    TMetadataEntries TakeMetadata();
    void ClearStreamIds() { streamid_map_.fill(0); }

    const TSettingsHost& Host() const { return host_; }
    void Log(TLogLevel level, const std::string& text) const;

private:
    void Apply(const TOptionDef& row, const std::string& value);

    TSettingsHost host_;
    TPendingSettings pending_;
    TTaskSwitches switches_;
    TOptionContexts opt_ctx_;
    TLegacyOptions legacy_options_; // old generic options carried over
    std::vector<TStreamMap> stream_maps_;
    std::vector<TMetaDataMap> meta_data_maps_;
    std::array<int, MAX_STREAMS> streamid_map_{};
    // Names with arguments.
    std::vector<std::string> video_bitstream_filters_;
    std::vector<std::string> audio_bitstream_filters_;
    std::vector<std::string> subtitle_bitstream_filters_;
    TMetadataEntries metadata_;
    // Argument strings of vhook options, kept for the task's life (plug-ins may keep
    // pointers); declared before the chain so that the chain goes first.
    std::vector<std::vector<std::string>> vhook_args_;
    TFrameHookChain frame_hooks_;
    std::int64_t total_duration_ = -1;
};
