#pragma once

// The engine's option vocabulary: one row per option, in dispatch order. A row says how its
// value is read, what the option acts on, and either the setting it writes, the handler that
// reads a syntax of its own, or the text it logs or raises.

#include "EngineTypes.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

class TEngineSettings;
struct TOptionDef;

// What an option acts on. A row without input, output or media flags holds for the whole task;
// a media flag alone means the next stream of that type created.
enum TOptionFlag : std::uint16_t {
    OptInput = 1 << 0,    // the next input file opened
    OptOutput = 1 << 1,   // the next output file opened
    OptVideo = 1 << 2,    // a video option
    OptAudio = 1 << 3,    // an audio option
    OptSubtitle = 1 << 4, // a subtitle option
    OptExpert = 1 << 5,   // seldom needed
};

// How the value is read.
enum class TOptionForm : std::uint8_t {
    None,     // ignored
    Bool,     // true unless exactly "0"
    Int,      // decimal integer
    Int64,    // decimal 64-bit integer
    Float,    // decimal number
    Text,     // any text, copied
    Duration, // a time span, in microseconds
    Date,     // a date, in microseconds
    Syntax,   // a syntax of the handler's own
};

enum class TOptionAction : std::uint8_t {
    Store,       // the value, read by the row's form, goes to the row's field
    Call,        // the row's handler reads the value
    Ignore,      // logs the row's text followed by the name
    Warn,        // logs the row's text as a warning
    Refuse,      // raises the row's text
    RefuseNamed, // raises the row's text followed by the name
};

using TOptionHandler = void (*)(TEngineSettings& settings, const TOptionDef& row,
                                const std::string& value);

// The setting a row writes: a field of the pending settings or of the task-wide switches.
using TOptionField = std::variant<std::monostate, bool TPendingSettings::*, int TPendingSettings::*,
                                  float TPendingSettings::*, std::int64_t TPendingSettings::*,
                                  std::string TPendingSettings::*, bool TTaskSwitches::*,
                                  int TTaskSwitches::*, float TTaskSwitches::*,
                                  std::uint64_t TTaskSwitches::*, std::string TTaskSwitches::*>;

// The row's field as a member of type M of Owner, or null when it is another one.
template <class M, class Owner> constexpr M Owner::*const* FieldAs(const TOptionField& field) {
    return []<class... Ts>(const std::variant<Ts...>* f) {
        if constexpr ((std::is_same_v<M Owner::*, Ts> || ...)) {
            return std::get_if<M Owner::*>(f);
        } else {
            return static_cast<M Owner::*const*>(nullptr);
        }
    }(&field);
}

struct TOptionDef {
    const char* name;
    TOptionForm form;
    std::uint16_t flags;
    TOptionAction action;
    TOptionHandler handler; // Call
    TOptionField field;     // Store, and handlers that store a checked value
    const char* text;       // the logged or raised text, or the text a handler reports

    // The media type a per-type row is about: video, audio, subtitle, or data without a flag.
    constexpr AVMediaType Media() const {
        return (flags & OptVideo)      ? AVMEDIA_TYPE_VIDEO
               : (flags & OptAudio)    ? AVMEDIA_TYPE_AUDIO
               : (flags & OptSubtitle) ? AVMEDIA_TYPE_SUBTITLE
                                       : AVMEDIA_TYPE_DATA;
    }
};

class TOptionTable {
public:
    static std::span<const TOptionDef> Rows();
    // The row of that name (case-sensitive), or null: the name then belongs to the generic
    // option handler.
    static const TOptionDef* Find(std::string_view name);
};
