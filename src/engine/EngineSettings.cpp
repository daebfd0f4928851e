// The settings of one task and the option dispatcher.

#include "EngineSettings.h"

#include "FFmpegException.h"
#include "OptionHandlers.h"
#include "OptionTable.h"

#include <utility>

TEngineSettings::TEngineSettings(TSettingsHost host) : host_(std::move(host)) {}

void TEngineSettings::SetOption(const std::string& name, const std::string& value) {
    if (const TOptionDef* row = TOptionTable::Find(name)) {
        Apply(*row, value);
    } else {
        // Unknown to the table: a library option, or silently dropped.
        opt_default(name, value);
    }
}

void TEngineSettings::Apply(const TOptionDef& row, const std::string& value) {
    switch (row.action) {
    case TOptionAction::Store:
        TOptionHandlers::Store(*this, row, value);
        break;
    case TOptionAction::Call:
        row.handler(*this, row, value);
        break;
    case TOptionAction::Ignore:
        Log(llInfo, row.text + std::string(row.name));
        break;
    case TOptionAction::Warn:
        Log(llWarning, row.text);
        break;
    case TOptionAction::Refuse:
        throw FFmpegException(row.text);
    case TOptionAction::RefuseNamed:
        throw FFmpegException(row.text + std::string(row.name));
    }
}

bool TEngineSettings::opt_default(const std::string& name, const std::string& value) {
    return legacy_options_.SetOption(opt_ctx_, name, value, host_.sender);
}

void TEngineSettings::Reset(bool withContexts) {
    pending_ = TPendingSettings{};
    switches_ = TTaskSwitches{};
    stream_maps_.clear();
    meta_data_maps_.clear();
    streamid_map_.fill(0);
    video_bitstream_filters_.clear();
    audio_bitstream_filters_.clear();
    subtitle_bitstream_filters_.clear();
    metadata_.clear();
    vhook_args_.clear();
    total_duration_ = -1;
    if (withContexts) {
        opt_ctx_.InitContexts(switches_.sws_flags);
    } else {
        opt_ctx_.FreeContexts();
    }
    legacy_options_.Clear();
}

void TEngineSettings::EnsureContexts() {
    if (!opt_ctx_.Initialized()) {
        opt_ctx_.InitContexts(switches_.sws_flags);
    }
}

void TEngineSettings::ReleaseAfterConversion() {
    opt_ctx_.FreeContexts();
    pending_.intra_matrix.clear();
    pending_.inter_matrix.clear();
    pending_.has_intra_matrix = pending_.has_inter_matrix = false;
    pending_.video_codec_name.clear();
    pending_.audio_codec_name.clear();
    pending_.subtitle_codec_name.clear();
    pending_.video_standard.clear();
    pending_.video_rc_override_string.clear();
    pending_.video_language.clear();
    pending_.audio_language.clear();
    pending_.subtitle_language.clear();
    pending_.subtitle_codec_tag = 0;
    frame_hooks_.ReleaseFrameHooks();
}

std::vector<std::string>& TEngineSettings::BitstreamFilters(AVMediaType type) {
    return type == AVMEDIA_TYPE_VIDEO   ? video_bitstream_filters_
           : type == AVMEDIA_TYPE_AUDIO ? audio_bitstream_filters_
                                        : subtitle_bitstream_filters_;
}

void TEngineSettings::Log(TLogLevel level, const std::string& text) const {
    LoggerInstance().Log(host_.sender, level, text);
}

void TEngineSettings::ClearCodecNames() {
    pending_.video_codec_name.clear();
    pending_.audio_codec_name.clear();
    pending_.subtitle_codec_name.clear();
    pending_.video_channel = 0;
}

void TEngineSettings::TakeSourcePicture(int width, int height, float aspect, int pixFmt,
                                        AVRational rate) {
    pending_.frame_width = width;
    pending_.frame_height = height;
    pending_.frame_aspect_ratio = aspect;
    pending_.frame_pix_fmt = pixFmt;
    pending_.frame_rate = rate;
}

void TEngineSettings::TakeSourceSound(std::int64_t channelLayout, int channels, int sampleRate,
                                      int sampleFmt) {
    pending_.channel_layout = channelLayout;
    pending_.audio_channels = channels;
    pending_.audio_sample_rate = sampleRate;
    pending_.audio_sample_fmt = sampleFmt;
}

void TEngineSettings::StreamMade(AVMediaType type) {
    switch (type) {
    case AVMEDIA_TYPE_VIDEO:
        pending_.video_disable = false;
        pending_.video_language.clear();
        pending_.video_codec_name.clear();
        pending_.video_stream_copy = false;
        pending_.frame_pix_fmt = -1;
        break;
    case AVMEDIA_TYPE_AUDIO:
        pending_.audio_disable = false;
        pending_.audio_language.clear();
        pending_.audio_codec_name.clear();
        pending_.audio_stream_copy = false;
        break;
    default:
        pending_.subtitle_disable = false;
        pending_.subtitle_language.clear();
        pending_.subtitle_codec_name.clear();
        pending_.subtitle_stream_copy = false;
        break;
    }
}

std::vector<std::string> TEngineSettings::TakeBitstreamFilters(AVMediaType type) {
    std::vector<std::string> filters = std::move(BitstreamFilters(type));
    BitstreamFilters(type).clear();
    return filters;
}

TMetadataEntries TEngineSettings::TakeMetadata() {
    TMetadataEntries entries = std::move(metadata_);
    metadata_.clear();
    return entries;
}

void TEngineSettings::ClearCodecName(AVMediaType type) {
    (type == AVMEDIA_TYPE_VIDEO   ? pending_.video_codec_name
     : type == AVMEDIA_TYPE_AUDIO ? pending_.audio_codec_name
                                  : pending_.subtitle_codec_name)
        .clear();
}
