// The option parser: SetOption dispatches a name to its handler in the option table.

#include "FFmpeg.h"

#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace {

bool ParseBool(const std::string& value) {
    return value != "0";
}

// strtol with base 0, as the stream-map forms are read: "0x" hexadecimal and octal accepted.
long ReadIndex(const char*& p) {
    char* end = nullptr;
    const long v = std::strtol(p, &end, 0);
    p = end;
    return v;
}

void SkipSeparator(const char*& p) {
    if (*p != '\0') {
        ++p;
    }
}

std::uint32_t FourCC(const std::string& text, const char* what) {
    if (text.size() != 4) {
        throw FFmpegException(what);
    }
    return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[3])) << 24;
}

std::string ProgramFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("./") : exe.parent_path().string() + "/";
}

} // namespace

void TCustomFFmpeg::SetOption(const std::string& name, const std::string& value) {
    // Names are compared case-sensitively; the first row that matches handles the option.
    if (name == "L" || name == "h" || name == "version" || name == "formats" || name == "codecs" ||
        name == "bsfs" || name == "protocols" || name == "filters" || name == "i" || name == "y" ||
        name == "benchmark") {
        LoggerInstance().Log(this, llInfo, enginemsg::DoNothing + name);
    } else if (name == "loglevel") {
        LoggerInstance().SetLogLevelByName(value);
    } else if (name == "f") {
        if (value == "pgmyuv") {
            pending_.file_format = "image2";
            switches_.image2_compat = true;
            LoggerInstance().Log(this, llInfo, enginemsg::PgmyuvDeprecated);
        } else {
            pending_.file_format = value;
        }
    } else if (name == "map") {
        opt_map(value);
    } else if (name == "map_meta_data") {
        opt_map_meta_data(value);
    } else if (name == "t") {
        pending_.recording_time = parse_time_or_die(name, value, true);
        total_duration_ = pending_.recording_time;
    } else if (name == "fs") {
        switches_.limit_filesize = static_cast<std::uint64_t>(StrToInt64(value));
    } else if (name == "ss") {
        pending_.start_time = parse_time_or_die(name, value, true);
    } else if (name == "itsoffset") {
        pending_.input_ts_offset = parse_time_or_die(name, value, true);
    } else if (name == "itsscale") {
        opt_itsscale(value);
    } else if (name == "timestamp") {
        const std::int64_t us = parse_time_or_die(name, value, false);
        pending_.recording_timestamp = static_cast<std::int64_t>(std::llround(us / 1000000.0));
    } else if (name == "metadata") {
        opt_metadata(value);
    } else if (name == "dframes") {
        pending_.max_frames[AVMEDIA_TYPE_DATA] = StrToInt(value);
    } else if (name == "timelimit") {
        LoggerInstance().Log(this, llWarning, enginemsg::TimelimitNotImplemented);
    } else if (name == "dump") {
        switches_.do_pkt_dump = ParseBool(value);
    } else if (name == "hex") {
        switches_.do_hex_dump = ParseBool(value);
    } else if (name == "re") {
        switches_.rate_emu = ParseBool(value);
    } else if (name == "loop_input") {
        pending_.loop_input = ParseBool(value);
    } else if (name == "loop_output") {
        pending_.loop_output = StrToInt(value);
    } else if (name == "v") {
        switches_.verbose = StrToInt(value);
    } else if (name == "target") {
        opt_target(value);
    } else if (name == "threads") {
        throw FFmpegException(enginemsg::TodoOption + name);
    } else if (name == "vsync") {
        switches_.video_sync_method = StrToInt(value);
    } else if (name == "async") {
        switches_.audio_sync_method = StrToInt(value);
    } else if (name == "adrift_threshold") {
        switches_.audio_drift_threshold = static_cast<float>(StrToFloat(value));
    } else if (name == "vglobal") {
        switches_.video_global_header = StrToInt(value);
    } else if (name == "copyts") {
        switches_.copy_ts = true;
    } else if (name == "shortest") {
        switches_.opt_shortest = ParseBool(value);
    } else if (name == "dts_delta_threshold") {
        switches_.dts_delta_threshold = static_cast<float>(StrToFloat(value));
    } else if (name == "programid") {
        pending_.opt_programid = StrToInt(value);
    } else if (name == "xerror") {
        switches_.exit_on_error = true;
    } else if (name == "copyinkf") {
        switches_.copy_initial_nonkeyframes = StrToInt(value);
    } else if (name == "b" || name == "vb") {
        opt_bitrate(name, value);
    } else if (name == "vframes") {
        pending_.max_frames[AVMEDIA_TYPE_VIDEO] = StrToInt(value);
    } else if (name == "r") {
        if (fn::av_parse_video_rate(&pending_.frame_rate, value.c_str()) < 0) {
            throw FFmpegException(enginemsg::IncorrectFrameRate);
        }
    } else if (name == "s") {
        int width = 0;
        int height = 0;
        if (fn::av_parse_video_size(&width, &height, value.c_str()) < 0) {
            throw FFmpegException(enginemsg::IncorrectFrameSize);
        }
        pending_.frame_width = width;
        pending_.frame_height = height;
    } else if (name == "aspect") {
        opt_frame_aspect_ratio(value);
    } else if (name == "pix_fmt") {
        opt_frame_pix_fmt(value);
    } else if (name == "croptop" || name == "cropbottom" || name == "cropleft" ||
               name == "cropright") {
        opt_frame_crop(name, value);
    } else if (name == "padtop" || name == "padbottom" || name == "padleft" || name == "padright" ||
               name == "padcolor") {
        throw FFmpegException(enginemsg::UseVfiltersPad);
    } else if (name == "intra") {
        pending_.intra_only = ParseBool(value);
    } else if (name == "vn") {
        pending_.video_disable = ParseBool(value);
    } else if (name == "vdt") {
        pending_.video_discard = StrToInt(value);
    } else if (name == "qscale") {
        const double q = StrToFloat(value);
        if (q <= 0 || q > 255) {
            throw FFmpegException(enginemsg::QscaleRange);
        }
        pending_.video_qscale = static_cast<float>(q);
    } else if (name == "rc_override") {
        pending_.video_rc_override_string = value;
    } else if (name == "vcodec") {
        opt_codec(pending_.video_stream_copy, pending_.video_codec_name, value);
    } else if (name == "me_threshold") {
        pending_.me_threshold = StrToInt(value);
    } else if (name == "sameq") {
        pending_.same_quality = ParseBool(value);
    } else if (name == "pass") {
        const int pass = StrToInt(value);
        if (pass != 1 && pass != 2) {
            throw FFmpegException(enginemsg::PassNumber);
        }
        switches_.do_pass = pass;
    } else if (name == "passlogfile") {
        switches_.pass_logfilename_prefix = value;
    } else if (name == "deinterlace") {
        pending_.do_deinterlace = ParseBool(value);
    } else if (name == "psnr") {
        switches_.do_psnr = ParseBool(value);
    } else if (name == "vstats") {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        switches_.vstats_filename = Format("%svstats_%02d%02d%02d.log", ProgramFolder().c_str(),
                                           local.tm_hour, local.tm_min, local.tm_sec);
    } else if (name == "vstats_file") {
        switches_.vstats_filename = value;
    } else if (name == "vhook") {
        opt_vhook(value);
    } else if (name == "vfilters" || name == "vf") {
        pending_.vfilters = value;
    } else if (name == "intra_matrix") {
        opt_matrix(pending_.intra_matrix, pending_.has_intra_matrix, value);
    } else if (name == "inter_matrix") {
        opt_matrix(pending_.inter_matrix, pending_.has_inter_matrix, value);
    } else if (name == "top") {
        pending_.top_field_first = StrToInt(value);
    } else if (name == "dc") {
        pending_.intra_dc_precision = StrToInt(value);
    } else if (name == "vtag") {
        pending_.video_codec_tag = FourCC(value, enginemsg::VideoTagLength);
    } else if (name == "newvideo") {
        new_video_stream(LastOutputFile(), OutputFileCount() - 1);
    } else if (name == "vlang") {
        pending_.video_language = value;
    } else if (name == "qphist") {
        pending_.qp_hist = ParseBool(value);
    } else if (name == "force_fps") {
        switches_.force_fps = ParseBool(value);
    } else if (name == "streamid") {
        opt_streamid(name, value);
    } else if (name == "ab") {
        opt_bitrate(name, value);
    } else if (name == "aframes") {
        pending_.max_frames[AVMEDIA_TYPE_AUDIO] = StrToInt(value);
    } else if (name == "aq") {
        pending_.audio_qscale = static_cast<float>(StrToFloat(value));
    } else if (name == "ar") {
        const int rate = StrToInt(value);
        if (rate > 0) {
            pending_.audio_sample_rate = rate;
        }
    } else if (name == "ac") {
        const int channels = StrToInt(value);
        if (channels > 0) {
            pending_.audio_channels = channels;
        }
    } else if (name == "an") {
        pending_.audio_disable = ParseBool(value);
    } else if (name == "acodec") {
        opt_codec(pending_.audio_stream_copy, pending_.audio_codec_name, value);
    } else if (name == "atag") {
        pending_.audio_codec_tag = FourCC(value, enginemsg::AudioTagLength);
    } else if (name == "vol") {
        switches_.audio_volume = StrToInt(value);
    } else if (name == "newaudio") {
        new_audio_stream(LastOutputFile(), OutputFileCount() - 1);
    } else if (name == "alang") {
        pending_.audio_language = value;
    } else if (name == "sample_fmt") {
        opt_audio_sample_fmt(value);
    } else if (name == "sn") {
        pending_.subtitle_disable = ParseBool(value);
    } else if (name == "scodec") {
        opt_codec(pending_.subtitle_stream_copy, pending_.subtitle_codec_name, value);
    } else if (name == "newsubtitle") {
        new_subtitle_stream(LastOutputFile(), OutputFileCount() - 1);
    } else if (name == "slang") {
        pending_.subtitle_language = value;
    } else if (name == "stag") {
        pending_.subtitle_codec_tag = FourCC(value, enginemsg::SubtitleTagLength);
    } else if (name == "vc") {
        pending_.video_channel = StrToInt(value);
    } else if (name == "tvstd") {
        pending_.video_standard = value;
    } else if (name == "isync") {
        switches_.input_sync = ParseBool(value);
    } else if (name == "muxdelay") {
        pending_.mux_max_delay = static_cast<float>(StrToFloat(value));
    } else if (name == "muxpreload") {
        pending_.mux_preload = static_cast<float>(StrToFloat(value));
    } else if (name == "absf" || name == "vbsf" || name == "sbsf") {
        opt_bsf(name, value);
    } else if (name == "apre" || name == "vpre" || name == "spre" || name == "fpre") {
        opt_preset(name, value);
    } else {
        // Unknown to the table: a library option, or silently dropped.
        opt_default(name, value);
    }
}

std::int64_t TCustomFFmpeg::parse_time_or_die(const std::string& name, const std::string& value,
                                              bool isDuration) {
    std::int64_t us = 0;
    if (fn::av_parse_time(&us, value.c_str(), isDuration ? 1 : 0) < 0) {
        throw FFmpegException(Format(enginemsg::InvalidTimeSpec, isDuration ? "duration" : "date",
                                     name.c_str(), value.c_str()));
    }
    return us;
}

void TCustomFFmpeg::opt_map(const std::string& value) {
    if (stream_maps_.size() >= MaxStreamMaps) {
        throw FFmpegException(Format(enginemsg::TooManyStreamMaps, MaxStreamMaps));
    }
    TStreamMap m;
    const char* p = value.c_str();
    m.file_index = static_cast<int>(ReadIndex(p));
    SkipSeparator(p);
    m.stream_index = static_cast<int>(ReadIndex(p));
    if (*p != '\0') {
        SkipSeparator(p);
        m.sync_file_index = static_cast<int>(ReadIndex(p));
        SkipSeparator(p);
        m.sync_stream_index = static_cast<int>(ReadIndex(p));
    } else {
        m.sync_file_index = m.file_index;
        m.sync_stream_index = m.stream_index;
    }
    stream_maps_.push_back(m);
}

void TCustomFFmpeg::opt_map_meta_data(const std::string& value) {
    if (meta_data_maps_.size() >= MaxMetaDataMaps) {
        throw FFmpegException(Format(enginemsg::TooManyMetaDataMaps, MaxMetaDataMaps));
    }
    TMetaDataMap m;
    const char* p = value.c_str();
    m.out_file = static_cast<int>(ReadIndex(p));
    SkipSeparator(p);
    m.in_file = static_cast<int>(ReadIndex(p));
    meta_data_maps_.push_back(m);
}

void TCustomFFmpeg::opt_itsscale(const std::string& value) {
    const char* p = value.c_str();
    const long stream = ReadIndex(p);
    if (stream < 0 || stream >= MAX_STREAMS) {
        throw FFmpegException(Format(enginemsg::StreamIndexOverMax, MAX_STREAMS));
    }
    SkipSeparator(p);
    pending_.input_ts_scale[stream] = std::strtod(p, nullptr);
}

void TCustomFFmpeg::opt_metadata(const std::string& value) {
    const auto eq = value.find('=');
    if (eq == std::string::npos) {
        throw FFmpegException(enginemsg::MissingEquals);
    }
    metadata_.emplace_back(value.substr(0, eq), value.substr(eq + 1));
}

void TCustomFFmpeg::opt_streamid(const std::string& name, const std::string& value) {
    const auto colon = value.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= value.size()) {
        throw FFmpegException(Format(enginemsg::StreamIdSyntax, value.c_str(), name.c_str()));
    }
    const int index = StrToInt(value.substr(0, colon));
    const int id = StrToInt(value.substr(colon + 1));
    if (index < 0 || index >= MAX_STREAMS) {
        throw FFmpegException(Format(enginemsg::StreamIndexOverMax, MAX_STREAMS));
    }
    streamid_map_[index] = id;
}

void TCustomFFmpeg::opt_bitrate(const std::string& name, const std::string& value) {
    if (name.empty() || value.empty() || !opt_default(name, value)) {
        return;
    }
    const int type = name == "ab" ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO;
    std::int64_t bitRate = 0;
    fn::av_opt_get_int(opt_ctx_.CodecOpts(type), "b", 0, &bitRate);
    if (bitRate < 1000) {
        LoggerInstance().Log(this, llWarning, enginemsg::BitrateTooLow);
    }
}

void TCustomFFmpeg::opt_frame_aspect_ratio(const std::string& value) {
    double ratio = 0;
    const auto colon = value.find(':');
    if (colon != std::string::npos) {
        int w = 0;
        int h = 0;
        if (!TryStrToInt(value.substr(0, colon), w)) {
            w = 0;
        }
        if (!TryStrToInt(value.substr(colon + 1), h)) {
            h = 0;
        }
        ratio = h > 0 ? static_cast<double>(w) / h : 0;
    } else if (!TryStrToFloat(value, ratio)) {
        ratio = 0;
    }
    if (ratio == 0) {
        throw FFmpegException(enginemsg::IncorrectAspect);
    }
    pending_.frame_aspect_ratio = static_cast<float>(ratio);
}

void TCustomFFmpeg::opt_frame_pix_fmt(const std::string& value) {
    if (value == "list") {
        char line[256];
        for (int fmt = -1; fmt < AV_PIX_FMT_NB; ++fmt) {
            if (fmt >= 0 && fn::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(fmt)) == nullptr) {
                continue;
            }
            fn::av_get_pix_fmt_string(line, sizeof line, static_cast<AVPixelFormat>(fmt));
            LoggerInstance().Log(this, llInfo, Trim(line));
        }
        return;
    }
    pending_.frame_pix_fmt = fn::av_get_pix_fmt(value.c_str());
    if (pending_.frame_pix_fmt == AV_PIX_FMT_NONE) {
        throw FFmpegException(Format(enginemsg::UnknownPixelFormat, value.c_str()));
    }
}

void TCustomFFmpeg::opt_audio_sample_fmt(const std::string& value) {
    if (value == "list") {
        char line[128];
        for (int fmt = -1; fmt < AV_SAMPLE_FMT_NB; ++fmt) {
            fn::av_get_sample_fmt_string(line, sizeof line, static_cast<AVSampleFormat>(fmt));
            LoggerInstance().Log(this, llInfo, Trim(line));
        }
        return;
    }
    pending_.audio_sample_fmt = fn::av_get_sample_fmt(value.c_str());
}

void TCustomFFmpeg::opt_frame_crop(const std::string& name, const std::string& value) {
    const int band = StrToInt(value);
    if (band <= 0) {
        return;
    }
    const bool vertical = name == "croptop" || name == "cropbottom";
    if (vertical && band >= pending_.frame_height) {
        throw FFmpegException(enginemsg::VerticalCrop);
    }
    if (!vertical && band >= pending_.frame_width) {
        throw FFmpegException(enginemsg::HorizontalCrop);
    }
    LoggerInstance().Log(this, llWarning, enginemsg::CropDeprecated);
    if (name == "croptop") {
        pending_.frame_topBand = band;
        pending_.frame_height -= band;
    } else if (name == "cropbottom") {
        pending_.frame_bottomBand = band;
        pending_.frame_height -= band;
    } else if (name == "cropleft") {
        pending_.frame_leftBand = band;
        pending_.frame_width -= band;
    } else {
        pending_.frame_rightBand = band;
        pending_.frame_width -= band;
    }
}

void TCustomFFmpeg::opt_codec(bool& streamCopy, std::string& codecName, const std::string& value) {
    if (value.empty()) {
        return;
    }
    codecName.clear();
    if (value == "copy") {
        streamCopy = true;
    } else {
        codecName = value;
    }
}

void TCustomFFmpeg::opt_matrix(std::vector<std::uint16_t>& matrix, bool& present,
                               const std::string& value) {
    matrix.assign(64, 0);
    present = true;
    const std::vector<std::string> fields = SplitText(value, ',');
    int stored = 0;
    for (const std::string& field : fields) {
        if (stored == 64) {
            break;
        }
        matrix[stored++] = static_cast<std::uint16_t>(std::strtol(field.c_str(), nullptr, 10));
    }
    if (stored < 64) {
        throw FFmpegException(Format(enginemsg::MatrixSyntax, value.c_str(), stored - 1));
    }
}

void TCustomFFmpeg::opt_bsf(const std::string& name, const std::string& value) {
    if (value.empty() || value[0] == '=') {
        return;
    }
    const std::string filter = value.substr(0, value.find('='));
    if (fn::av_bsf_get_by_name(filter.c_str()) == nullptr) {
        throw FFmpegException(Format(enginemsg::UnknownBitstreamFilter, Trim(value).c_str()));
    }
    std::vector<std::string>& chain = name[0] == 'v'   ? video_bitstream_filters_
                                      : name[0] == 'a' ? audio_bitstream_filters_
                                                       : subtitle_bitstream_filters_;
    chain.push_back(value);
}

void TCustomFFmpeg::opt_vhook(const std::string& value) {
    const char separator = value.find('|') != std::string::npos ? '|' : ' ';
    std::vector<std::string> args;
    for (std::string& piece : SplitText(value, separator)) {
        if (!piece.empty()) {
            args.push_back(std::move(piece));
        }
    }
    if (args.size() > 64) {
        throw FFmpegException(enginemsg::VhookAddFailed + value);
    }
    if (frame_hooks_.AddFrameHook(args) != 0) {
        throw FFmpegException(enginemsg::VhookAddFailed + value);
    }
    vhook_args_.push_back(std::move(args));
    switches_.vhook_active = true;
}
