// The handlers of the option table.

#include "OptionHandlers.h"

#include "EngineSettings.h"
#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"
#include "OptionPresets.h"
#include "OptionTable.h"
#include "OptionTargets.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace {

// Writes v to the row's field; the table is checked at compile time so that the form of
// every storing row fits its field.
template <class M> void Assign(TEngineSettings& s, const TOptionField& field, M v) {
    if (const auto* pending = FieldAs<M, TPendingSettings>(field)) {
        s.Pending().** pending = std::move(v);
    } else if (const auto* task = FieldAs<M, TTaskSwitches>(field)) {
        s.Switches().** task = std::move(v);
    } else {
        throw FFmpegAssertion("option field");
    }
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

void TOptionHandlers::Store(TEngineSettings& s, const TOptionDef& row, const std::string& value) {
    switch (row.form) {
    case TOptionForm::None:
        Assign(s, row.field, true); // a switch the option turns on
        break;
    case TOptionForm::Bool:
        Assign(s, row.field, value != "0");
        break;
    case TOptionForm::Int:
        Assign(s, row.field, StrToInt(value));
        break;
    case TOptionForm::Int64:
        Assign(s, row.field, static_cast<std::uint64_t>(StrToInt64(value)));
        break;
    case TOptionForm::Float:
        Assign(s, row.field, static_cast<float>(StrToFloat(value)));
        break;
    case TOptionForm::Text:
        Assign(s, row.field, value);
        break;
    case TOptionForm::Duration:
        Assign(s, row.field, parse_time_or_die(row.name, value, true));
        break;
    case TOptionForm::Date:
    case TOptionForm::Syntax:
        throw FFmpegAssertion("option form");
    }
}

std::int64_t TOptionHandlers::parse_time_or_die(const std::string& name, const std::string& value,
                                                bool isDuration) {
    std::int64_t us = 0;
    if (fn::av_parse_time(&us, value.c_str(), isDuration ? 1 : 0) < 0) {
        throw FFmpegException(Format(enginemsg::InvalidTimeSpec, isDuration ? "duration" : "date",
                                     name.c_str(), value.c_str()));
    }
    return us;
}

void TOptionHandlers::opt_codec(TEngineSettings& s, AVMediaType type, const std::string& value) {
    if (value.empty()) {
        return;
    }
    TPendingSettings& p = s.Pending();
    std::string& codecName = type == AVMEDIA_TYPE_VIDEO   ? p.video_codec_name
                             : type == AVMEDIA_TYPE_AUDIO ? p.audio_codec_name
                                                          : p.subtitle_codec_name;
    bool& streamCopy = type == AVMEDIA_TYPE_VIDEO   ? p.video_stream_copy
                       : type == AVMEDIA_TYPE_AUDIO ? p.audio_stream_copy
                                                    : p.subtitle_stream_copy;
    codecName.clear();
    if (value == "copy") {
        streamCopy = true; // stays on until the stream is created, whatever name follows
    } else {
        codecName = value;
    }
}

void TOptionHandlers::opt_loglevel(TEngineSettings&, const TOptionDef&, const std::string& value) {
    LoggerInstance().SetLogLevelByName(value);
}

void TOptionHandlers::opt_format(TEngineSettings& s, const TOptionDef& row,
                                 const std::string& value) {
    if (value == "pgmyuv") {
        s.Pending().file_format = "image2";
        s.Switches().image2_compat = true;
        s.Log(llInfo, row.text);
    } else {
        s.Pending().file_format = value;
    }
}

void TOptionHandlers::opt_map(TEngineSettings& s, const TOptionDef&, const std::string& value) {
    if (s.StreamMaps().size() >= MaxStreamMaps) {
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
    s.StreamMaps().push_back(m);
}

void TOptionHandlers::opt_map_meta_data(TEngineSettings& s, const TOptionDef&,
                                        const std::string& value) {
    if (s.MetaDataMaps().size() >= MaxMetaDataMaps) {
        throw FFmpegException(Format(enginemsg::TooManyMetaDataMaps, MaxMetaDataMaps));
    }
    TMetaDataMap m;
    const char* p = value.c_str();
    m.out_file = static_cast<int>(ReadIndex(p));
    SkipSeparator(p);
    m.in_file = static_cast<int>(ReadIndex(p));
    s.MetaDataMaps().push_back(m);
}

void TOptionHandlers::opt_recording_time(TEngineSettings& s, const TOptionDef& row,
                                         const std::string& value) {
    s.Pending().recording_time = parse_time_or_die(row.name, value, true);
    s.TotalDuration() = s.Pending().recording_time;
}

void TOptionHandlers::opt_itsscale(TEngineSettings& s, const TOptionDef&,
                                   const std::string& value) {
    const char* p = value.c_str();
    const long stream = ReadIndex(p);
    if (stream < 0 || stream >= MAX_STREAMS) {
        throw FFmpegException(Format(enginemsg::StreamIndexOverMax, MAX_STREAMS));
    }
    SkipSeparator(p);
    s.Pending().input_ts_scale[stream] = std::strtod(p, nullptr);
}

void TOptionHandlers::opt_recording_timestamp(TEngineSettings& s, const TOptionDef& row,
                                              const std::string& value) {
    const std::int64_t us = parse_time_or_die(row.name, value, false);
    s.Pending().recording_timestamp = static_cast<std::int64_t>(std::llround(us / 1000000.0));
}

void TOptionHandlers::opt_metadata(TEngineSettings& s, const TOptionDef&,
                                   const std::string& value) {
    const auto eq = value.find('=');
    if (eq == std::string::npos) {
        throw FFmpegException(enginemsg::MissingEquals);
    }
    s.Metadata().emplace_back(value.substr(0, eq), value.substr(eq + 1));
}

void TOptionHandlers::opt_max_frames(TEngineSettings& s, const TOptionDef& row,
                                     const std::string& value) {
    s.Pending().max_frames[row.Media()] = StrToInt(value);
}

void TOptionHandlers::opt_target(TEngineSettings& s, const TOptionDef&, const std::string& value) {
    TOptionTargets::opt_target(s, value);
}

void TOptionHandlers::opt_bitrate(TEngineSettings& s, const TOptionDef& row,
                                  const std::string& value) {
    const std::string name = row.name;
    if (value.empty() || !s.opt_default(name, value)) {
        return;
    }
    std::int64_t bitRate = 0;
    fn::av_opt_get_int(s.Contexts().CodecOpts(row.Media()), "b", 0, &bitRate);
    if (bitRate < 1000) {
        s.Log(llWarning, enginemsg::BitrateTooLow);
    }
}

void TOptionHandlers::opt_frame_rate(TEngineSettings& s, const TOptionDef&,
                                     const std::string& value) {
    // The library writes the rate even when it fails, as the option always did.
    if (fn::av_parse_video_rate(&s.Pending().frame_rate, value.c_str()) < 0) {
        throw FFmpegException(enginemsg::IncorrectFrameRate);
    }
}

void TOptionHandlers::opt_frame_size(TEngineSettings& s, const TOptionDef&,
                                     const std::string& value) {
    int width = 0;
    int height = 0;
    if (fn::av_parse_video_size(&width, &height, value.c_str()) < 0) {
        throw FFmpegException(enginemsg::IncorrectFrameSize);
    }
    s.Pending().frame_width = width;
    s.Pending().frame_height = height;
}

void TOptionHandlers::opt_frame_aspect_ratio(TEngineSettings& s, const TOptionDef&,
                                             const std::string& value) {
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
    s.Pending().frame_aspect_ratio = static_cast<float>(ratio);
}

void TOptionHandlers::opt_frame_pix_fmt(TEngineSettings& s, const TOptionDef&,
                                        const std::string& value) {
    if (value == "list") {
        char line[256];
        for (int fmt = -1; fmt < AV_PIX_FMT_NB; ++fmt) {
            if (fmt >= 0 && fn::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(fmt)) == nullptr) {
                continue;
            }
            fn::av_get_pix_fmt_string(line, sizeof line, static_cast<AVPixelFormat>(fmt));
            s.Log(llInfo, Trim(line));
        }
        return;
    }
    // An unknown name leaves -1 behind, as the option always did.
    s.Pending().frame_pix_fmt = fn::av_get_pix_fmt(value.c_str());
    if (s.Pending().frame_pix_fmt == AV_PIX_FMT_NONE) {
        throw FFmpegException(Format(enginemsg::UnknownPixelFormat, value.c_str()));
    }
}

void TOptionHandlers::opt_frame_crop(TEngineSettings& s, const TOptionDef& row,
                                     const std::string& value) {
    // Only the named options are the deprecated ones; the facade's setters set the same bands.
    if (SetCropBand(s, row.name, StrToInt(value))) {
        s.Log(llWarning, row.text);
    }
}

bool TOptionHandlers::SetCropBand(TEngineSettings& s, std::string_view side, int band) {
    if (band <= 0) {
        return false;
    }
    TPendingSettings& p = s.Pending();
    const bool vertical = side == "croptop" || side == "cropbottom";
    if (vertical && band >= p.frame_height) {
        throw FFmpegException(enginemsg::VerticalCrop);
    }
    if (!vertical && band >= p.frame_width) {
        throw FFmpegException(enginemsg::HorizontalCrop);
    }
    if (side == "croptop") {
        p.frame_topBand = band;
    } else if (side == "cropbottom") {
        p.frame_bottomBand = band;
    } else if (side == "cropleft") {
        p.frame_leftBand = band;
    } else {
        p.frame_rightBand = band;
    }
    (vertical ? p.frame_height : p.frame_width) -= band;
    return true;
}

void TOptionHandlers::opt_qscale(TEngineSettings& s, const TOptionDef&, const std::string& value) {
    const double q = StrToFloat(value);
    if (q <= 0 || q > 255) {
        throw FFmpegException(enginemsg::QscaleRange);
    }
    s.Pending().video_qscale = static_cast<float>(q);
}

void TOptionHandlers::opt_codec_name(TEngineSettings& s, const TOptionDef& row,
                                     const std::string& value) {
    opt_codec(s, row.Media(), value);
}

void TOptionHandlers::opt_pass(TEngineSettings& s, const TOptionDef&, const std::string& value) {
    const int pass = StrToInt(value);
    if (pass != 1 && pass != 2) {
        throw FFmpegException(enginemsg::PassNumber);
    }
    s.Switches().do_pass = pass;
}

void TOptionHandlers::opt_vstats(TEngineSettings& s, const TOptionDef&, const std::string&) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    s.Switches().vstats_filename = Format("%svstats_%02d%02d%02d.log", ProgramFolder().c_str(),
                                          local.tm_hour, local.tm_min, local.tm_sec);
}

void TOptionHandlers::opt_vhook(TEngineSettings& s, const TOptionDef& row,
                                const std::string& value) {
    const char separator = value.find('|') != std::string::npos ? '|' : ' ';
    std::vector<std::string> args;
    for (std::string& piece : SplitText(value, separator)) {
        if (!piece.empty()) {
            args.push_back(std::move(piece));
        }
    }
    if (args.size() > 64 || s.FrameHooks().AddFrameHook(args) != 0) {
        throw FFmpegException(row.text + value);
    }
    s.VhookArgs().push_back(std::move(args));
    s.Switches().vhook_active = true;
}

void TOptionHandlers::opt_intra_matrix(TEngineSettings& s, const TOptionDef&,
                                       const std::string& value) {
    opt_matrix(s.Pending().intra_matrix, s.Pending().has_intra_matrix, value);
}

void TOptionHandlers::opt_inter_matrix(TEngineSettings& s, const TOptionDef&,
                                       const std::string& value) {
    opt_matrix(s.Pending().inter_matrix, s.Pending().has_inter_matrix, value);
}

void TOptionHandlers::opt_matrix(std::vector<std::uint16_t>& matrix, bool& present,
                                 const std::string& value) {
    // A failing text keeps the coefficients stored before the error.
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

void TOptionHandlers::opt_codec_tag(TEngineSettings& s, const TOptionDef& row,
                                    const std::string& value) {
    const std::uint32_t tag = FourCC(value, row.text);
    TPendingSettings& p = s.Pending();
    (row.Media() == AVMEDIA_TYPE_VIDEO   ? p.video_codec_tag
     : row.Media() == AVMEDIA_TYPE_AUDIO ? p.audio_codec_tag
                                         : p.subtitle_codec_tag) = tag;
}

void TOptionHandlers::opt_new_stream(TEngineSettings& s, const TOptionDef& row,
                                     const std::string&) {
    s.Host().newStream(row.Media());
}

void TOptionHandlers::opt_streamid(TEngineSettings& s, const TOptionDef& row,
                                   const std::string& value) {
    const auto colon = value.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= value.size()) {
        throw FFmpegException(Format(enginemsg::StreamIdSyntax, value.c_str(), row.name));
    }
    const int index = StrToInt(value.substr(0, colon));
    const int id = StrToInt(value.substr(colon + 1));
    if (index < 0 || index >= MAX_STREAMS) {
        throw FFmpegException(Format(enginemsg::StreamIndexOverMax, MAX_STREAMS));
    }
    s.StreamIdMap()[index] = id;
}

void TOptionHandlers::opt_positive(TEngineSettings& s, const TOptionDef& row,
                                   const std::string& value) {
    const int v = StrToInt(value);
    if (v > 0) {
        Assign(s, row.field, v);
    }
}

void TOptionHandlers::opt_audio_sample_fmt(TEngineSettings& s, const TOptionDef&,
                                           const std::string& value) {
    if (value == "list") {
        char line[128];
        for (int fmt = -1; fmt < AV_SAMPLE_FMT_NB; ++fmt) {
            fn::av_get_sample_fmt_string(line, sizeof line, static_cast<AVSampleFormat>(fmt));
            s.Log(llInfo, Trim(line));
        }
        return;
    }
    s.Pending().audio_sample_fmt = fn::av_get_sample_fmt(value.c_str());
}

void TOptionHandlers::opt_bsf(TEngineSettings& s, const TOptionDef& row, const std::string& value) {
    if (value.empty() || value[0] == '=') {
        return;
    }
    const std::string filter = value.substr(0, value.find('='));
    if (fn::av_bsf_get_by_name(filter.c_str()) == nullptr) {
        throw FFmpegException(Format(enginemsg::UnknownBitstreamFilter, Trim(value).c_str()));
    }
    s.BitstreamFilters(row.Media()).push_back(value);
}

void TOptionHandlers::opt_preset(TEngineSettings& s, const TOptionDef& row,
                                 const std::string& value) {
    TOptionPresets::opt_preset(s, row.name, value);
}
