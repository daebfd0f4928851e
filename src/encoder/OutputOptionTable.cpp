#include "OutputOptionTable.h"

#include "FFmpeg.h"
#include "MediaUtils.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace {

using O = TOutputOptions;
using TRow = TOutputOptionTable::TRow;
using TTagRow = TOutputOptionTable::TTagRow;
using TWhen = TOutputOptionTable::TWhen;
using TWay = TOutputOptionTable::TWay;
using F = TCustomFFmpeg;

constexpr TRow Library(const char* name, int O::*field) {
    return {name, field, TWhen::Positive, TWay::Library};
}
constexpr TRow Setter(const char* name, int O::*field, void (F::*setter)(int)) {
    return {name, field, TWhen::Positive, TWay::Setter, setter};
}
constexpr TRow Setter(const char* name, std::int64_t O::*field, void (F::*setter)(std::int64_t)) {
    return {name, field, TWhen::Timed, TWay::Setter, setter};
}

// In the order the options always reached the engine.
// clang-format off
constexpr TRow kRows[] = {
    {"f", &O::FileFormat, TWhen::Always},
    Library("packetsize", &O::PacketSize),
    Library("muxrate", &O::MuxRate),
    {"muxdelay", &O::MuxDelay, TWhen::Positive},
    {"muxpreload", &O::MuxPreload, TWhen::Positive},
    {"an", &O::AudioDisable, TWhen::On},
    {"vol", &O::AudioVolume, TWhen::NotNegative},
    {"ac", &O::AudioChannels, TWhen::Positive},
    {"ar", &O::AudioSampleRate, TWhen::Positive},
    {"ab", &O::AudioBitrate, TWhen::Positive},
    Library("abt", &O::AudioBitrateTolerance),
    {"alang", &O::AudioLanguage, TWhen::Always},
    {"async", &O::AudioSyncMethod, TWhen::Always},
    {"atag", &O::AudioTag, TWhen::NotEmpty},
    {"vn", &O::VideoDisable, TWhen::On},
    {"r", &O::FrameRate, TWhen::NotEmpty},
    {"aspect", &O::FrameAspectRatio, TWhen::NotEmpty},
    // The bands take the engine's crop path without the named options' deprecation warning.
    Setter("croptop", &O::CropTop, &F::SetCropTop),
    Setter("cropbottom", &O::CropBottom, &F::SetCropBottom),
    Setter("cropleft", &O::CropLeft, &F::SetCropLeft),
    Setter("cropright", &O::CropRight, &F::SetCropRight),
    Library("g", &O::GOPSize),
    {"vb", &O::VideoBitrate, TWhen::Positive},
    Library("maxrate", &O::VideoMaxRate),
    Library("minrate", &O::VideoMinRate),
    Library("bt", &O::VideoBitrateTolerance),
    Library("bufsize", &O::VideoBufferSize),
    {"vsync", &O::VideoSyncMethod, TWhen::Always},
    {"vtag", &O::VideoTag, TWhen::NotEmpty},
    {"vlang", &O::VideoLanguage, TWhen::Always},
    {"sn", &O::SubtitleDisable, TWhen::On},
    {"slang", &O::SubtitleLanguage, TWhen::Always},
    {"isync", &O::InputSync, TWhen::Always},
    {"copyts", &O::CopyTimestamps, TWhen::On},
    // Microseconds: the named options read seconds.
    Setter("ss", &O::StartTime, &F::SetStartTime),
    Setter("t", &O::RecordingTime, &F::SetRecordingTime),
};

// Both the old tag names and the ones today's muxers read.
constexpr TTagRow kTagRows[] = {
    {"year", &TStreamInfo::Year},     {"date", &TStreamInfo::Year},
    {"track", &TStreamInfo::Track},   {"title", &TStreamInfo::Title},
    {"author", &TStreamInfo::Author}, {"copyright", &TStreamInfo::Copyright},
    {"comment", &TStreamInfo::Comment}, {"album", &TStreamInfo::Album},
    {"genre", &TStreamInfo::Genre},   {"artist", &TStreamInfo::Author},
};
// clang-format on

template <class M> constexpr bool Reads(const TRow& row) {
    return std::holds_alternative<M O::*>(row.field);
}

constexpr bool WhenFitsField(const TRow& row) {
    switch (row.when) {
    case TWhen::Always:
        return true;
    case TWhen::Positive:
    case TWhen::NotNegative:
        return Reads<int>(row) || Reads<float>(row);
    case TWhen::NotEmpty:
        return Reads<std::string>(row);
    case TWhen::On:
        return Reads<bool>(row);
    case TWhen::Timed:
        return Reads<std::int64_t>(row);
    }
    return false;
}

constexpr bool WayFitsField(const TRow& row) {
    const bool noSetter = std::holds_alternative<std::monostate>(row.setter);
    switch (row.way) {
    case TWay::Option:
        return noSetter && !Reads<std::int64_t>(row);
    case TWay::Library:
        return noSetter && Reads<int>(row);
    case TWay::Setter:
        return (std::holds_alternative<void (F::*)(int)>(row.setter) && Reads<int>(row)) ||
               (std::holds_alternative<void (F::*)(std::int64_t)>(row.setter) &&
                Reads<std::int64_t>(row));
    }
    return false;
}

static_assert(std::all_of(std::begin(kRows), std::end(kRows),
                          [](const TRow& row) { return WhenFitsField(row) && WayFitsField(row); }),
              "every row's condition and way fit the type of its field");

bool Passes(TWhen when, const auto& value) {
    using V = std::decay_t<decltype(value)>;
    constexpr bool number = std::is_arithmetic_v<V> && !std::is_same_v<V, bool>;
    switch (when) {
    case TWhen::Always:
        return true;
    case TWhen::Positive:
        if constexpr (number) {
            return value > 0;
        }
        break;
    case TWhen::NotNegative:
        if constexpr (number) {
            return value >= 0;
        }
        break;
    case TWhen::NotEmpty:
        if constexpr (std::is_same_v<V, std::string>) {
            return !value.empty();
        }
        break;
    case TWhen::On:
        if constexpr (std::is_same_v<V, bool>) {
            return value;
        }
        break;
    case TWhen::Timed:
        if constexpr (std::is_same_v<V, std::int64_t>) {
            return value != NoTimestamp;
        }
        break;
    }
    return false;
}

// The option text of a value, read back by the engine without loss.
std::string OptionText(const auto& value) {
    using V = std::decay_t<decltype(value)>;
    if constexpr (std::is_same_v<V, std::string>) {
        return value;
    } else if constexpr (std::is_same_v<V, bool>) {
        return value ? "1" : "0";
    } else if constexpr (std::is_same_v<V, float>) {
        char text[32];
        const auto end = std::to_chars(std::begin(text), std::end(text), value).ptr;
        return std::string(text, end);
    } else {
        return std::to_string(value);
    }
}

void ApplyRow(F& task, const TRow& row, const O& options) {
    std::visit(
        [&](auto member) {
            const auto& value = options.*member;
            if (!Passes(row.when, value)) {
                return;
            }
            using V = std::decay_t<decltype(value)>;
            switch (row.way) {
            case TWay::Option:
                task.SetOption(row.name, OptionText(value));
                break;
            case TWay::Library:
                if constexpr (std::is_same_v<V, int>) {
                    task.SetIntOption(row.name, value);
                }
                break;
            case TWay::Setter:
                if constexpr (std::is_same_v<V, int> || std::is_same_v<V, std::int64_t>) {
                    (task.*std::get<void (F::*)(V)>(row.setter))(value);
                }
                break;
            }
        },
        row.field);
}

} // namespace

std::span<const TRow> TOutputOptionTable::Rows() {
    return kRows;
}

std::span<const TTagRow> TOutputOptionTable::TagRows() {
    return kTagRows;
}

void TOutputOptionTable::Apply(TCustomFFmpeg& task, const TOutputOptions& options) {
    for (const TRow& row : kRows) {
        ApplyRow(task, row, options);
    }
    const TStreamInfo& m = options.Metadata;
    if (m.Timestamp >= 0) {
        const double local = m.Timestamp == 0 ? NowLocalDateTime() : m.Timestamp;
        task.SetTimestamp(LocalDateTimeToUnix(local));
    }
    for (const TTagRow& row : kTagRows) {
        std::visit(
            [&](auto member) {
                const auto& value = m.*member;
                if (Passes(std::is_same_v<std::decay_t<decltype(value)>, int> ? TWhen::Positive
                                                                              : TWhen::NotEmpty,
                           value)) {
                    task.SetOption("metadata", row.key + ("=" + OptionText(value)));
                }
            },
            row.field);
    }
}
