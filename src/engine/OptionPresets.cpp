// The built-in option presets and the preset procedure of the option table.

#include "OptionPresets.h"

#include "EngineSettings.h"
#include "FFmpegException.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"
#include "OptionHandlers.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

enum class TCommonBlock { None, Standard, NoSceneCut };

// One row of the preset table; null means the line is absent. Rows without the common block
// are the short presets: coder, bf, refs, flags2, the further lines, wpredp.
struct TPresetRow {
    const char* name;
    TCommonBlock common;
    const char* coder;
    const char* flags;
    const char* level;
    const char* partitions;
    const char* me_method;
    const char* subq;
    const char* me_range;
    const char* b_strategy;
    const char* bf;
    const char* refs;
    const char* directpred;
    const char* trellis;
    const char* flags2;
    const char* cqp;
    const char* wpredp;
    const char* further; // name=value lines separated by line feeds
};

constexpr TCommonBlock S = TCommonBlock::Standard;
constexpr TCommonBlock N = TCommonBlock::None;
constexpr TCommonBlock Z = TCommonBlock::NoSceneCut;
constexpr const char* _ = nullptr;

// Partition sets that several rows share.
constexpr const char* PartAll = "+parti8x8+parti4x4+partp8x8+partb8x8";
constexpr const char* PartNone = "-parti8x8-parti4x4-partp8x8-partb8x8";
constexpr const char* PartFull = "+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8";
constexpr const char* PartDevice = "+parti4x4+parti8x8+partp8x8+partb8x8";
constexpr const char* FirstPass = "+bpyramid-mixed_refs+wpred-dct8x8+fastpskip";
constexpr const char* FirstPassNoTree = "+bpyramid-mixed_refs+wpred-dct8x8+fastpskip-mbtree";
constexpr const char* UltraFast = "-bpyramid-mixed_refs-wpred-dct8x8+fastpskip-mbtree";
constexpr const char* Lossless = "-parti8x8+parti4x4+partp8x8+partp4x4-partb8x8";
constexpr const char* LosslessFull = "+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8";
constexpr const char* DeviceLimits = "bt=256000\nsc_threshold=40";

// clang-format off
const TPresetRow kRows[TOptionPresets::Count] = {
    // name, common, coder, flags, level, partitions, me_method, subq, me_range, b_strategy, bf, refs, directpred, trellis, flags2, cqp, wpredp, further
    {"libx264-baseline", N, "0", _, _, _, _, _, _, _, "0", _, _, _, "-wpred-dct8x8", _, "0", _},
    {"libx264-default", S, "1", "+loop", _, PartAll, "hex", "7", "16", "1", "3", "3", "1", "1", "+mixed_refs+wpred+dct8x8+fastpskip", _, "2", _},
    {"libx264-fast", S, "1", "+loop", _, PartAll, "hex", "6", "16", "1", "3", "2", "1", "1", "+bpyramid+mixed_refs+wpred+dct8x8+fastpskip", _, "2", _},
    {"libx264-fast_firstpass", S, "1", "+loop", _, PartNone, "dia", "2", "16", "1", "3", "1", "1", "0", FirstPass, _, "2", _},
    {"libx264-faster", S, "1", "+loop", _, PartAll, "hex", "4", "16", "1", "3", "2", "1", "1", "+bpyramid-mixed_refs+wpred+dct8x8+fastpskip", _, "1", _},
    {"libx264-faster_firstpass", S, "1", "+loop", _, PartNone, "dia", "2", "16", "1", "3", "1", "1", "0", FirstPass, _, "1", _},
    {"libx264-fastfirstpass", S, "1", "+loop", _, "-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8", "dia", "2", "16", "1", "3", "1", "3", "0", "-bpyramid-wpred-mixed_refs-dct8x8+fastpskip", _, "2", _},
    {"libx264-hq", S, "1", "+loop", _, PartAll, "umh", "8", "16", "2", "3", "4", "3", "1", "+wpred+mixed_refs+dct8x8+fastpskip", _, "2", _},
    {"libx264-ipod320", N, "0", _, _, _, _, _, _, _, "0", _, _, _, "-wpred-dct8x8", _, "0", "level=13\nmaxrate=768000\nbufsize=3000000"},
    {"libx264-ipod640", N, "0", _, _, _, _, _, _, _, "0", "1", _, _, "-wpred-dct8x8", _, "0", "level=30\nmaxrate=10000000\nbufsize=10000000"},
    {"libx264-lossless_fast", S, "0", "+loop", _, "-parti8x8+parti4x4+partp8x8-partp4x4-partb8x8", "hex", "3", "16", "1", _, _, "1", _, "+fastpskip", "0", "0", _},
    {"libx264-lossless_max", S, "1", "+loop", _, LosslessFull, "esa", "8", "16", "1", _, "16", "1", _, "+mixed_refs+dct8x8+fastpskip", "0", "2", _},
    {"libx264-lossless_medium", S, "1", "+loop", _, Lossless, "hex", "5", "16", "1", _, _, "1", _, "+fastpskip", "0", "2", _},
    {"libx264-lossless_slow", S, "1", "+loop", _, LosslessFull, "umh", "6", "16", "1", _, "2", "1", _, "+dct8x8+fastpskip", "0", "2", _},
    {"libx264-lossless_slower", S, "1", "+loop", _, LosslessFull, "umh", "8", "16", "1", _, "4", "1", _, "+mixed_refs+dct8x8+fastpskip", "0", "2", _},
    {"libx264-lossless_ultrafast", S, "0", "+loop", _, "-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8", "dia", "0", "16", "1", _, _, "1", _, "+fastpskip", "0", _, _},
    {"libx264-main", N, _, _, _, _, _, _, _, _, _, _, _, _, "-dct8x8", _, _, _},
    {"libx264-max", S, "1", "+loop", _, PartFull, "tesa", "10", "24", "2", "3", "16", "3", "2", "+wpred+mixed_refs+dct8x8-fastpskip", _, "2", _},
    {"libx264-medium", S, "1", "+loop", _, PartAll, "hex", "7", "16", "1", "3", "3", "1", "1", "+bpyramid+mixed_refs+wpred+dct8x8+fastpskip", _, "2", _},
    {"libx264-medium_firstpass", S, "1", "+loop", _, PartNone, "dia", "2", "16", "1", "3", "1", "1", "0", FirstPass, _, "2", _},
    {"libx264-normal", S, "1", "+loop", _, PartAll, "hex", "6", "16", "1", "3", "2", "3", "0", "+wpred+dct8x8+fastpskip", _, "2", _},
    {"libx264-placebo", S, "1", "+loop", _, PartFull, "tesa", "10", "24", "2", "16", "16", "3", "2", "+bpyramid+mixed_refs+wpred+dct8x8-fastpskip", _, "2", _},
    {"libx264-placebo_firstpass", S, "1", "+loop", _, PartFull, "tesa", "10", "24", "2", "16", "16", "3", "2", "+bpyramid+mixed_refs+wpred+dct8x8-fastpskip", _, "2", _},
    {"libx264-slow", S, "1", "+loop", _, PartAll, "umh", "8", "16", "2", "3", "5", "3", "1", "+bpyramid+mixed_refs+wpred+dct8x8+fastpskip", _, "2", _},
    {"libx264-slow_firstpass", S, "1", "+loop", _, PartNone, "dia", "2", "16", "2", "3", "1", "3", "0", FirstPass, _, "2", _},
    {"libx264-slower", S, "1", "+loop", _, PartFull, "umh", "9", "16", "2", "3", "8", "3", "2", "+bpyramid+mixed_refs+wpred+dct8x8+fastpskip", _, "2", _},
    {"libx264-slower_firstpass", S, "1", "+loop", _, PartNone, "dia", "2", "16", "2", "3", "1", "3", "0", FirstPass, _, "2", _},
    {"libx264-slowfirstpass", S, "1", "+loop", _, PartAll, "hex", "6", "16", "2", "3", "1", "3", "0", "+wpred+dct8x8+fastpskip", _, "2", _},
    {"libx264-superfast", S, "1", "+loop", _, "+parti8x8+parti4x4-partp8x8-partb8x8", "dia", "1", "16", "1", "3", "1", "1", "0", "+bpyramid-mixed_refs+wpred+dct8x8+fastpskip-mbtree", _, "0", _},
    {"libx264-superfast_firstpass", S, "1", "+loop", _, PartNone, "dia", "1", "16", "1", "3", "1", "1", "0", FirstPassNoTree, _, "0", _},
    {"libx264-ultrafast", Z, "0", "-loop", _, PartNone, "dia", "0", "16", "0", "0", "1", "1", "0", UltraFast, _, "0", _},
    {"libx264-ultrafast_firstpass", Z, "0", "-loop", _, PartNone, "dia", "0", "16", "0", "0", "1", "1", "0", UltraFast, _, "0", _},
    {"libx264-veryfast", S, "1", "+loop", _, PartAll, "hex", "2", "16", "1", "3", "1", "1", "0", "+bpyramid-mixed_refs+wpred+dct8x8+fastpskip-mbtree", _, "0", _},
    {"libx264-veryfast_firstpass", S, "1", "+loop", _, PartNone, "dia", "2", "16", "1", "3", "1", "1", "0", FirstPassNoTree, _, "0", _},
    {"libx264-veryslow", S, "1", "+loop", _, PartFull, "umh", "10", "24", "2", "8", "16", "3", "2", "+bpyramid+mixed_refs+wpred+dct8x8+fastpskip", _, "2", _},
    {"libx264-veryslow_firstpass", S, "1", "+loop", _, PartNone, "dia", "2", "24", "2", "8", "1", "3", "0", FirstPass, _, "2", _},
    {"libx264-psp", S, "1", "+loop", "30", PartDevice, "umh", "7", "16", "1", "3", "1", "1", "2", _, _, _, "b=1250000\nmaxrate=1500000\nbufsize=4000000\nbt=256000\nsc_threshold=40"},
    {"libx264-ps3", S, "1", "+loop", "30", PartDevice, "umh", "7", "16", "1", "3", "1", "1", "2", _, _, _, "maxrate=3500000\nbufsize=4000000\nbt=256000\nsc_threshold=40"},
    {"libx264-ipod", S, "0", "+loop", "30", "+parti4x4+parti8x8+partp8x8", "umh", "7", "16", "1", _, "1", "1", "2", _, _, _, "b=1000000\nmaxrate=1250000\nbufsize=4000000\nbt=256000\nsc_threshold=40"},
    {"libx264-mp4", S, "1", "+loop", "30", PartDevice, "umh", "7", "16", "1", "3", "1", "1", "2", _, _, _, "b=1250000\nmaxrate=1500000\nbufsize=4000000\nbt=256000\nsc_threshold=40"},
};
// clang-format on

void AddLine(std::string& text, const char* name, const char* value) {
    if (value == nullptr) {
        return;
    }
    if (!text.empty()) {
        text += '\n';
    }
    text += name;
    text += '=';
    text += value;
}

void AddLines(std::string& text, const char* lines) {
    if (lines != nullptr) {
        if (!text.empty()) {
            text += '\n';
        }
        text += lines;
    }
}

std::string PresetText(const TPresetRow& row) {
    std::string text;
    if (row.common == TCommonBlock::None) {
        AddLine(text, "coder", row.coder);
        AddLine(text, "bf", row.bf);
        AddLine(text, "refs", row.refs);
        AddLine(text, "flags2", row.flags2);
        AddLines(text, row.further);
        AddLine(text, "wpredp", row.wpredp);
        return text;
    }
    AddLine(text, "coder", row.coder);
    AddLine(text, "flags", row.flags);
    AddLine(text, "level", row.level);
    AddLine(text, "cmp", "+chroma");
    AddLine(text, "partitions", row.partitions);
    AddLine(text, "me_method", row.me_method);
    AddLine(text, "subq", row.subq);
    AddLine(text, "me_range", row.me_range);
    AddLine(text, "g", "250");
    AddLine(text, "keyint_min", "25");
    AddLine(text, "sc_threshold", row.common == TCommonBlock::NoSceneCut ? "0" : "40");
    AddLine(text, "i_qfactor", "0.71");
    AddLine(text, "b_strategy", row.b_strategy);
    AddLine(text, "qcomp", "0.6");
    AddLine(text, "qmin", "10");
    AddLine(text, "qmax", "51");
    AddLine(text, "qdiff", "4");
    AddLine(text, "bf", row.bf);
    AddLine(text, "refs", row.refs);
    AddLine(text, "directpred", row.directpred);
    AddLine(text, "trellis", row.trellis);
    AddLine(text, "flags2", row.flags2);
    AddLine(text, "cqp", row.cqp);
    AddLine(text, "wpredp", row.wpredp);
    AddLines(text, row.further);
    return text;
}

// The lines of a preset text: trimmed, any line break style, empty lines dropped.
std::vector<std::string> PresetLines(const std::string& raw) {
    std::string text = Trim(raw);
    std::string unified;
    unified.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            unified += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            unified += text[i];
        }
    }
    std::vector<std::string> lines;
    for (const std::string& line : SplitText(unified, '\n')) {
        std::string trimmed = Trim(line);
        if (!trimmed.empty()) {
            lines.push_back(std::move(trimmed));
        }
    }
    return lines;
}

} // namespace

const std::vector<TOptionsPreset>& TOptionPresets::Table() {
    static const std::vector<TOptionsPreset> table = [] {
        std::vector<TOptionsPreset> entries;
        entries.reserve(Count);
        for (const TPresetRow& row : kRows) {
            entries.push_back({row.name, PresetText(row)});
        }
        return entries;
    }();
    return table;
}

const TOptionsPreset* TOptionPresets::Find(const std::string& name) {
    for (const TOptionsPreset& preset : Table()) {
        if (SameText(preset.Name, name)) {
            return &preset;
        }
    }
    return nullptr;
}

void TOptionPresets::opt_preset(TEngineSettings& s, const std::string& optionName,
                                const std::string& presetName) {
    if (optionName.empty() || presetName.empty()) {
        return;
    }
    std::string displayName = presetName;
    const TOptionsPreset* preset = nullptr;
    if (optionName[0] != 'f') {
        preset = TOptionPresets::Find(presetName);
        if (preset == nullptr) {
            const TPendingSettings& pending = s.Pending();
            const std::string& codecName = optionName[0] == 'v'   ? pending.video_codec_name
                                           : optionName[0] == 'a' ? pending.audio_codec_name
                                                                  : pending.subtitle_codec_name;
            if (!codecName.empty()) {
                displayName = codecName + "-" + presetName;
                preset = TOptionPresets::Find(displayName);
            }
        }
    }
    std::string text;
    if (preset != nullptr) {
        text = preset->Options;
    } else {
        // Not a table entry: the name is a file path. Only a regular file: a device or a
        // pipe given by mistake would never end.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(presetName, ec)) {
            throw FFmpegException(Format(enginemsg::PresetNotFound, presetName.c_str()));
        }
        std::ifstream file(presetName, std::ios::binary);
        if (!file) {
            throw FFmpegException(Format(enginemsg::PresetNotFound, presetName.c_str()));
        }
        std::ostringstream content;
        content << file.rdbuf();
        text = content.str();
    }
    for (const std::string& line : PresetLines(text)) {
        const std::size_t equals = line.find('=');
        const std::string name = equals == std::string::npos ? line : line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        if (name.empty() || value.empty()) {
            throw FFmpegException(
                Format(enginemsg::PresetSyntax, displayName.c_str(), line.c_str()));
        }
        const std::string lower = LowerCase(name);
        if (lower == "vcodec") {
            TOptionHandlers::opt_codec(s, AVMEDIA_TYPE_VIDEO, value);
        } else if (lower == "acodec") {
            TOptionHandlers::opt_codec(s, AVMEDIA_TYPE_AUDIO, value);
        } else if (lower == "scodec") {
            TOptionHandlers::opt_codec(s, AVMEDIA_TYPE_SUBTITLE, value);
        } else if (!s.opt_default(name, value)) {
            throw FFmpegException(Format(enginemsg::PresetInvalidOption, displayName.c_str(),
                                         line.c_str(), name.c_str(), value.c_str()));
        }
    }
}
