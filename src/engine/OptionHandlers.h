#pragma once

// The handlers of the option table: Store for the rows that write one setting, and one handler
// for each option that checks its value or reads a syntax of its own. A handler checks its value
// before it changes anything, unless its comment says otherwise.

#include "EngineTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TEngineSettings;
struct TOptionDef;

class TOptionHandlers {
public:
    // The value read by the row's form, written to the row's field.
    static void Store(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    // Microseconds; raises "Invalid ... specification" naming the option.
    static std::int64_t parse_time_or_die(const std::string& name, const std::string& value,
                                          bool isDuration);
    // The codec name of that media type; "copy" turns stream copy on, empty does nothing.
    static void opt_codec(TEngineSettings& s, AVMediaType type, const std::string& value);

    static void opt_loglevel(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_format(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_map(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_map_meta_data(TEngineSettings& s, const TOptionDef& row,
                                  const std::string& value);
    static void opt_recording_time(TEngineSettings& s, const TOptionDef& row,
                                   const std::string& value);
    static void opt_itsscale(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_recording_timestamp(TEngineSettings& s, const TOptionDef& row,
                                        const std::string& value);
    static void opt_metadata(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_max_frames(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_target(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_bitrate(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_frame_rate(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_frame_size(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_frame_aspect_ratio(TEngineSettings& s, const TOptionDef& row,
                                       const std::string& value);
    static void opt_frame_pix_fmt(TEngineSettings& s, const TOptionDef& row,
                                  const std::string& value);
    static void opt_frame_crop(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    // One crop band by its option name ("croptop" ...); false when the band is not above zero.
    static bool SetCropBand(TEngineSettings& s, std::string_view side, int band);
    static void opt_qscale(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_codec_name(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_pass(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_vstats(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_vhook(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_intra_matrix(TEngineSettings& s, const TOptionDef& row,
                                 const std::string& value);
    static void opt_inter_matrix(TEngineSettings& s, const TOptionDef& row,
                                 const std::string& value);
    static void opt_codec_tag(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_new_stream(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_streamid(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    // ar, ac: a value of 0 or less is ignored.
    static void opt_positive(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_audio_sample_fmt(TEngineSettings& s, const TOptionDef& row,
                                     const std::string& value);
    static void opt_bsf(TEngineSettings& s, const TOptionDef& row, const std::string& value);
    static void opt_preset(TEngineSettings& s, const TOptionDef& row, const std::string& value);

private:
    static void opt_matrix(std::vector<std::uint16_t>& matrix, bool& present,
                           const std::string& value);
};
