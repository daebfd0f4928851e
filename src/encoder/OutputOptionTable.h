#pragma once

// How an output record reaches the engine: one row per field, walked once in order. A row sets
// its field by the engine's option name, by a codec library option's name, or through a typed
// setter of the engine where the value is no option text (microseconds, crop bands).

#include "EncoderOptions.h"

#include <cstdint>
#include <span>
#include <string>
#include <variant>

class TCustomFFmpeg;

class TOutputOptionTable {
public:
    // When a field's value is passed on; the record's defaults are what "unset" means.
    enum class TWhen : std::uint8_t {
        Always,
        Positive,    // above zero
        NotNegative, // zero or above
        NotEmpty,
        On,    // true
        Timed, // not NoTimestamp
    };
    enum class TWay : std::uint8_t {
        Option,  // the engine's option of that name
        Library, // a codec library option: a refused value is dropped, as the engine's own does
        Setter,  // the row's typed setter
    };
    using TField =
        std::variant<std::string TOutputOptions::*, int TOutputOptions::*, float TOutputOptions::*,
                     bool TOutputOptions::*, std::int64_t TOutputOptions::*>;
    using TSetter = std::variant<std::monostate, void (TCustomFFmpeg::*)(int),
                                 void (TCustomFFmpeg::*)(std::int64_t)>;
    struct TRow {
        const char* name; // the option's name; for a setter row the option it stands for
        TField field;
        TWhen when;
        TWay way = TWay::Option;
        TSetter setter = {};
    };
    // A tag of the file's meta-data; several rows may read one field.
    struct TTagRow {
        const char* key;
        std::variant<std::string TStreamInfo::*, int TStreamInfo::*> field;
    };

    static std::span<const TRow> Rows();
    static std::span<const TTagRow> TagRows();
    // Sets every field the rows name and then the meta-data; raises FFmpegException as the
    // engine's SetOption does.
    static void Apply(TCustomFFmpeg& task, const TOutputOptions& options);
};
