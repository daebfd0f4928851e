// The option table: every option of the engine's vocabulary, in dispatch order.

#include "OptionTable.h"

#include "FFmpegMessages.h"
#include "OptionHandlers.h"

#include <algorithm>
#include <iterator>

namespace {

using F = TOptionForm;
using H = TOptionHandlers;
using P = TPendingSettings;
using T = TTaskSwitches;

constexpr std::uint16_t In = OptInput;
constexpr std::uint16_t Out = OptOutput;
constexpr std::uint16_t V = OptVideo;
constexpr std::uint16_t A = OptAudio;
constexpr std::uint16_t S = OptSubtitle;
constexpr std::uint16_t X = OptExpert;

constexpr TOptionDef Store(const char* name, TOptionForm form, std::uint16_t flags,
                           TOptionField field) {
    return {name, form, flags, TOptionAction::Store, nullptr, field, nullptr};
}
constexpr TOptionDef Call(const char* name, TOptionForm form, std::uint16_t flags,
                          TOptionHandler handler, const char* text = nullptr,
                          TOptionField field = {}) {
    return {name, form, flags, TOptionAction::Call, handler, field, text};
}
// Options of the command-line program that mean nothing to a task.
constexpr TOptionDef Ignore(const char* name, std::uint16_t flags = 0) {
    return {name, F::None, flags, TOptionAction::Ignore, nullptr, {}, enginemsg::DoNothing};
}
constexpr TOptionDef Warn(const char* name, const char* text) {
    return {name, F::None, 0, TOptionAction::Warn, nullptr, {}, text};
}
constexpr TOptionDef Refuse(const char* name, std::uint16_t flags, const char* text,
                            bool named = false) {
    return {name,    F::None, flags, named ? TOptionAction::RefuseNamed : TOptionAction::Refuse,
            nullptr, {},      text};
}

// clang-format off
constexpr TOptionDef kRows[] = {
    Ignore("L"), Ignore("h"), Ignore("version"), Ignore("formats"), Ignore("codecs"),
    Ignore("bsfs"), Ignore("protocols"), Ignore("filters"),
    Call("loglevel", F::Text, 0, H::opt_loglevel),
    Call("f", F::Text, In | Out, H::opt_format, enginemsg::PgmyuvDeprecated),
    Ignore("i"), Ignore("y"),
    Call("map", F::Syntax, X, H::opt_map),
    Call("map_meta_data", F::Syntax, X, H::opt_map_meta_data),
    Call("t", F::Duration, 0, H::opt_recording_time),
    Store("fs", F::Int64, 0, &T::limit_filesize),
    Store("ss", F::Duration, In, &P::start_time),
    Store("itsoffset", F::Duration, In, &P::input_ts_offset),
    Call("itsscale", F::Syntax, In, H::opt_itsscale),
    Call("timestamp", F::Date, Out, H::opt_recording_timestamp),
    Call("metadata", F::Syntax, Out, H::opt_metadata),
    Call("dframes", F::Int, 0, H::opt_max_frames),
    Ignore("benchmark", X),
    Warn("timelimit", enginemsg::TimelimitNotImplemented),
    Store("dump", F::Bool, X, &T::do_pkt_dump),
    Store("hex", F::Bool, X, &T::do_hex_dump),
    Store("re", F::Bool, X, &T::rate_emu),
    Store("loop_input", F::Bool, In | X, &P::loop_input),
    Store("loop_output", F::Int, Out | X, &P::loop_output),
    Store("v", F::Int, 0, &T::verbose),
    Call("target", F::Text, Out, H::opt_target),
    Refuse("threads", X, enginemsg::TodoOption, true),
    Store("vsync", F::Int, X, &T::video_sync_method),
    Store("async", F::Int, X, &T::audio_sync_method),
    Store("adrift_threshold", F::Float, X, &T::audio_drift_threshold),
    Store("vglobal", F::Int, X, &T::video_global_header),
    Store("vaapi_device", F::Text, V | X, &T::vaapi_device),
    Store("copyts", F::None, X, &T::copy_ts),
    Store("shortest", F::Bool, X, &T::opt_shortest),
    Store("dts_delta_threshold", F::Float, X, &T::dts_delta_threshold),
    Store("programid", F::Int, In | X, &P::opt_programid),
    Store("xerror", F::None, 0, &T::exit_on_error),
    Store("copyinkf", F::Int, X, &T::copy_initial_nonkeyframes),

    // Video.
    Call("b", F::Text, V, H::opt_bitrate),
    Call("vb", F::Text, V, H::opt_bitrate),
    Call("vframes", F::Int, V, H::opt_max_frames),
    Call("r", F::Text, In | V, H::opt_frame_rate),
    Call("s", F::Text, In | V, H::opt_frame_size),
    Call("aspect", F::Syntax, V, H::opt_frame_aspect_ratio),
    Call("pix_fmt", F::Text, In | V | X, H::opt_frame_pix_fmt),
    Call("croptop", F::Int, V, H::opt_frame_crop, enginemsg::CropDeprecated),
    Call("cropbottom", F::Int, V, H::opt_frame_crop, enginemsg::CropDeprecated),
    Call("cropleft", F::Int, V, H::opt_frame_crop, enginemsg::CropDeprecated),
    Call("cropright", F::Int, V, H::opt_frame_crop, enginemsg::CropDeprecated),
    Refuse("padtop", V, enginemsg::UseVfiltersPad),
    Refuse("padbottom", V, enginemsg::UseVfiltersPad),
    Refuse("padleft", V, enginemsg::UseVfiltersPad),
    Refuse("padright", V, enginemsg::UseVfiltersPad),
    Refuse("padcolor", V, enginemsg::UseVfiltersPad),
    Store("intra", F::Bool, V | X, &P::intra_only),
    Store("vn", F::Bool, In | Out | V, &P::video_disable),
    Store("vdt", F::Int, In | V | X, &P::video_discard),
    Call("qscale", F::Float, V | X, H::opt_qscale),
    Store("rc_override", F::Text, V | X, &P::video_rc_override_string),
    Call("vcodec", F::Text, In | V, H::opt_codec_name),
    Store("me_threshold", F::Int, V | X, &P::me_threshold),
    Store("sameq", F::Bool, V, &P::same_quality),
    Call("pass", F::Int, V, H::opt_pass),
    Store("passlogfile", F::Text, V, &T::pass_logfilename_prefix),
    Store("deinterlace", F::Bool, V | X, &P::do_deinterlace),
    Store("psnr", F::Bool, V | X, &T::do_psnr),
    Call("vstats", F::None, V | X, H::opt_vstats),
    Store("vstats_file", F::Text, V | X, &T::vstats_filename),
    Call("vhook", F::Syntax, V | X, H::opt_vhook, enginemsg::VhookAddFailed),
    Store("vfilters", F::Text, V, &P::vfilters),
    Store("vf", F::Text, V, &P::vfilters),
    Call("intra_matrix", F::Syntax, V | X, H::opt_intra_matrix),
    Call("inter_matrix", F::Syntax, V | X, H::opt_inter_matrix),
    Store("top", F::Int, V | X, &P::top_field_first),
    Store("dc", F::Int, V | X, &P::intra_dc_precision),
    Call("vtag", F::Text, V | X, H::opt_codec_tag, enginemsg::VideoTagLength),
    Call("newvideo", F::None, Out | V, H::opt_new_stream),
    Store("vlang", F::Text, V, &P::video_language),
    Store("qphist", F::Bool, V | X, &P::qp_hist),
    Store("force_fps", F::Bool, V | X, &T::force_fps),
    Call("streamid", F::Syntax, Out | X, H::opt_streamid),

    // Audio.
    Call("ab", F::Text, A, H::opt_bitrate),
    Call("aframes", F::Int, A, H::opt_max_frames),
    Store("aq", F::Float, A, &P::audio_qscale),
    Call("ar", F::Int, In | A, H::opt_positive, nullptr, &P::audio_sample_rate),
    Call("ac", F::Int, In | A, H::opt_positive, nullptr, &P::audio_channels),
    Store("an", F::Bool, In | Out | A, &P::audio_disable),
    Call("acodec", F::Text, In | A, H::opt_codec_name),
    Call("atag", F::Text, A | X, H::opt_codec_tag, enginemsg::AudioTagLength),
    Store("vol", F::Int, A, &T::audio_volume),
    Call("newaudio", F::None, Out | A, H::opt_new_stream),
    Store("alang", F::Text, A, &P::audio_language),
    Call("sample_fmt", F::Text, In | A | X, H::opt_audio_sample_fmt),

    // Subtitles.
    Store("sn", F::Bool, In | Out | S, &P::subtitle_disable),
    Call("scodec", F::Text, In | S, H::opt_codec_name),
    Call("newsubtitle", F::None, Out | S, H::opt_new_stream),
    Store("slang", F::Text, S, &P::subtitle_language),
    Call("stag", F::Text, S | X, H::opt_codec_tag, enginemsg::SubtitleTagLength),

    // Capture inputs.
    Store("vc", F::Int, In | V | X, &P::video_channel),
    Store("tvstd", F::Text, In | V | X, &P::video_standard),
    Store("isync", F::Bool, X, &T::input_sync),

    // Muxing.
    Store("muxdelay", F::Float, Out | X, &P::mux_max_delay),
    Store("muxpreload", F::Float, Out | X, &P::mux_preload),
    Call("absf", F::Text, A | X, H::opt_bsf),
    Call("vbsf", F::Text, V | X, H::opt_bsf),
    Call("sbsf", F::Text, S | X, H::opt_bsf),
    Call("apre", F::Text, A | X, H::opt_preset),
    Call("vpre", F::Text, V | X, H::opt_preset),
    Call("spre", F::Text, S | X, H::opt_preset),
    Call("fpre", F::Text, Out | X, H::opt_preset),
};
// clang-format on

// The form a storing row reads must be the type of its field.
template <class M> constexpr bool Holds(const TOptionField& field) {
    return FieldAs<M, P>(field) != nullptr || FieldAs<M, T>(field) != nullptr;
}

constexpr bool FieldFitsForm(const TOptionDef& row) {
    if (std::holds_alternative<std::monostate>(row.field)) {
        return row.action != TOptionAction::Store;
    }
    switch (row.form) {
    case F::None:
    case F::Bool:
        return Holds<bool>(row.field);
    case F::Int:
        return Holds<int>(row.field);
    case F::Int64:
        return Holds<std::uint64_t>(row.field);
    case F::Float:
        return Holds<float>(row.field);
    case F::Text:
        return Holds<std::string>(row.field);
    case F::Duration:
        return Holds<std::int64_t>(row.field);
    default:
        return false;
    }
}

// Handlers are checked by the tests: an instrumented build cannot compare function addresses
// while compiling.
constexpr bool RowIsComplete(const TOptionDef& row) {
    switch (row.action) {
    case TOptionAction::Store:
    case TOptionAction::Call:
        return FieldFitsForm(row);
    default:
        return row.text != nullptr;
    }
}

constexpr bool NamesAreUnique() {
    for (auto a = std::begin(kRows); a != std::end(kRows); ++a) {
        for (auto b = a + 1; b != std::end(kRows); ++b) {
            if (std::string_view(a->name) == std::string_view(b->name)) {
                return false;
            }
        }
    }
    return true;
}

static_assert(std::all_of(std::begin(kRows), std::end(kRows), RowIsComplete),
              "every row stores into a field of its form, calls with one, or has a text");
static_assert(NamesAreUnique(), "a second row of one name would never be reached");

} // namespace

std::span<const TOptionDef> TOptionTable::Rows() {
    return kRows;
}

const TOptionDef* TOptionTable::Find(std::string_view name) {
    const auto row = std::find_if(std::begin(kRows), std::end(kRows),
                                  [name](const TOptionDef& r) { return r.name == name; });
    return row != std::end(kRows) ? &*row : nullptr;
}
