// Old generic options carried over to today's libraries.

#include "LegacyOptions.h"

#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"
#include "OptionContexts.h"

#include <array>
#include <cctype>

namespace {

using V = TLegacyValue;

constexpr const char* X264 = "libx264";
constexpr const char* MpegVideo = "the MPEG video encoders";
constexpr const char* MpegMuxer = "the MPEG muxers";

// clang-format off
// Old name, flag token, today's name, value form, value (set), value (cleared), taken by,
// token kept in the generic flags. Options and tokens that still exist in the generic
// contexts (b, g, bf, refs, subq, me_range, trellis, keyint_min, i_qfactor, qcomp, qdiff,
// level, cmp, bt, packetsize, flags +cgop ...) are not listed: they pass through unchanged.
const std::vector<TLegacyRule> kRules = {
    // Whole options.
    {"me_method", nullptr, "me_method", V::Map,
     "dia:dia,epzs:dia,5:dia,hex:hex,7:hex,umh:umh,8:umh,esa:esa,full:esa,2:esa,tesa:tesa,10:tesa",
     nullptr, X264, false},
    {"me_method", nullptr, "motion_est", V::Map, "zero:zero,1:zero,x1:xone,6:xone,*:epzs",
     nullptr, MpegVideo, false},
    {"partitions", nullptr, "partitions", V::Partitions, nullptr, nullptr, X264, false},
    {"directpred", nullptr, "direct-pred", V::Number, nullptr, nullptr, X264, false},
    {"wpredp", nullptr, "weightp", V::Number, nullptr, nullptr, X264, false},
    {"cqp", nullptr, "qp", V::Number, nullptr, nullptr, X264, false},
    {"crf", nullptr, "crf", V::Number, nullptr, nullptr, X264, false},
    {"coder", nullptr, "coder", V::Map, "0:0,vlc:0,1:1,ac:1", nullptr, X264, false},
    {"b_strategy", nullptr, "b_strategy", V::Number, nullptr, nullptr, "libx264 and the MPEG video encoders", false},
    {"sc_threshold", nullptr, "sc_threshold", V::Number, nullptr, nullptr, "libx264 and the MPEG video encoders", false},
    {"nr", nullptr, "noise_reduction", V::Number, nullptr, nullptr, "libx264 and the MPEG video encoders", false},
    {"chromaoffset", nullptr, "chromaoffset", V::Number, nullptr, nullptr, X264, false},
    {"bframebias", nullptr, "b-bias", V::Number, nullptr, nullptr, X264, false},
    {"aq_mode", nullptr, "aq-mode", V::Number, nullptr, nullptr, X264, false},
    {"aq_strength", nullptr, "aq-strength", V::Number, nullptr, nullptr, X264, false},
    {"psy_rd", nullptr, "psy-rd", V::Number, nullptr, nullptr, X264, false},
    {"psy_trellis", nullptr, nullptr, V::Number, nullptr, nullptr, X264, false},
    {"rc_lookahead", nullptr, "rc-lookahead", V::Number, nullptr, nullptr, X264, false},
    {"complexityblur", nullptr, "cplxblur", V::Number, nullptr, nullptr, X264, false},
    {"deblockalpha", nullptr, nullptr, V::Number, nullptr, nullptr, X264, false},
    {"deblockbeta", nullptr, nullptr, V::Number, nullptr, nullptr, X264, false},
    {"qns", nullptr, "quantizer_noise_shaping", V::Number, nullptr, nullptr, MpegVideo, false},
    {"rc_qsquish", nullptr, "qsquish", V::Number, nullptr, nullptr, MpegVideo, false},
    {"muxrate", nullptr, "muxrate", V::Number, nullptr, nullptr, MpegMuxer, false},
    {"preload", nullptr, "preload", V::Number, nullptr, nullptr, MpegMuxer, false},

    // Tokens of flags. "loop" stays in the generic flags (the H.263+ loop filter) and also
    // switches libx264's deblocking.
    {"flags", "loop", "deblock", V::Fixed, "0:0", "false", X264, true},
    {"flags", "scan_offset", "scan_offset", V::Fixed, "1", "0", "the MPEG-1/2 video encoders", false},
    {"flags", "alt", "alternate_scan", V::Fixed, "1", "0", "the MPEG-2/4 video encoders", false},
    {"flags", "part", "data_partitioning", V::Fixed, "1", "0", "the MPEG-4 video encoder", false},
    {"flags", "umv", "umv", V::Fixed, "1", "0", "the H.263+ encoder", false},
    {"flags", "aiv", "aiv", V::Fixed, "1", "0", "the H.263+ encoder", false},
    {"flags", "obmc", "obmc", V::Fixed, "1", "0", "the H.263+ encoder", false},
    {"flags", "trell", "trellis", V::Fixed, "1", "0", "the video encoders", false},
    {"flags", "mv0", "mpv_flags", V::FlagToken, "+mv0", "-mv0", MpegVideo, false},
    {"flags", "naq", "mpv_flags", V::FlagToken, "+naq", "-naq", MpegVideo, false},
    {"flags", "qprd", "mpv_flags", V::FlagToken, "+qp_rd", "-qp_rd", MpegVideo, false},
    {"flags", "cbp", "mpv_flags", V::FlagToken, "+cbp_rd", "-cbp_rd", MpegVideo, false},
    {"flags", "closedgop", "cgop", V::Rename, nullptr, nullptr, "the video encoders", false},
    {"flags", "emu_edge", nullptr, V::Fixed, nullptr, nullptr, "the decoders", false},
    {"flags", "input_preserved", nullptr, V::Fixed, nullptr, nullptr, "the encoders", false},
    {"flags", "extern_huff", nullptr, V::Fixed, nullptr, nullptr, "the Huffyuv encoder", false},

    // Tokens of flags2.
    {"flags2", "bpyramid", "b-pyramid", V::Fixed, "normal", "none", X264, false},
    {"flags2", "wpred", "weightb", V::Fixed, "1", "0", X264, false},
    {"flags2", "mixed_refs", "mixed-refs", V::Fixed, "1", "0", X264, false},
    {"flags2", "dct8x8", "8x8dct", V::Fixed, "1", "0", X264, false},
    {"flags2", "fastpskip", "fast-pskip", V::Fixed, "1", "0", X264, false},
    {"flags2", "aud", "aud", V::Fixed, "1", "0", X264, false},
    {"flags2", "mbtree", "mbtree", V::Fixed, "1", "0", X264, false},
    {"flags2", "psy", "psy", V::Fixed, "1", "0", X264, false},
    {"flags2", "ssim", "ssim", V::Fixed, "1", "0", X264, false},
    {"flags2", "intra_refresh", "intra-refresh", V::Fixed, "1", "0", X264, false},
    {"flags2", "brdo", nullptr, V::Fixed, nullptr, nullptr, X264, false},
    {"flags2", "skiprd", "mpv_flags", V::FlagToken, "+skip_rd", "-skip_rd", MpegVideo, false},
    {"flags2", "sgop", "mpv_flags", V::FlagToken, "+strict_gop", "-strict_gop", MpegVideo, false},
    {"flags2", "ivlc", "intra_vlc", V::Fixed, "1", "0", "the MPEG-2 video encoder", false},
    {"flags2", "drop_frame_timecode", "drop_frame_timecode", V::Fixed, "1", "0", "the MPEG-1/2 video encoders", false},
    {"flags2", "non_linear_q", "non_linear_quant", V::Fixed, "1", "0", "the MPEG-2 video encoder", false},
    {"flags2", "reservoir", "reservoir", V::Fixed, "1", "0", "the MP3 encoder", false},
};
// clang-format on

bool Matches(const TLegacyRule& rule, const std::string& name, const char* token) {
    if (name != rule.option) {
        return false;
    }
    if (token == nullptr || rule.token == nullptr) {
        return token == rule.token;
    }
    return std::string(token) == rule.token;
}

bool HasTokenRules(const std::string& name) {
    for (const TLegacyRule& rule : kRules) {
        if (rule.token != nullptr && name == rule.option) {
            return true;
        }
    }
    return false;
}

// "old:new,..." with "*" for any other value; false when the value has no entry.
bool MapValue(const char* list, const std::string& value, std::string& result) {
    std::string fallback;
    bool hasFallback = false;
    for (const std::string& pair : SplitText(list, ',')) {
        const std::size_t colon = pair.find(':');
        const std::string from = pair.substr(0, colon);
        const std::string to = pair.substr(colon + 1);
        if (from == value) {
            result = to;
            return true;
        }
        if (from == "*") {
            fallback = to;
            hasFallback = true;
        }
    }
    result = fallback;
    return hasFallback;
}

// A decimal number as the libraries read numeric options: sign, digits with one point, and
// an SI suffix such as "k" or "Mi" (with an optional "B").
bool IsNumber(const std::string& value) {
    std::size_t i = value[0] == '+' || value[0] == '-' ? 1 : 0;
    std::size_t digits = 0;
    bool point = false;
    for (; i < value.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(value[i]))) {
            ++digits;
        } else if (value[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < value.size() && std::string("kKMGTP").find(value[i]) != std::string::npos) {
        ++i;
        if (i < value.size() && value[i] == 'i') {
            ++i;
        }
    }
    if (i < value.size() && value[i] == 'B') {
        ++i;
    }
    return i == value.size();
}

struct TFlagToken {
    char sign; // '+', '-' or 0 (the token sets the whole value)
    std::string word;
};

std::vector<TFlagToken> FlagTokens(const std::string& value) {
    std::vector<TFlagToken> tokens;
    std::size_t i = 0;
    while (i < value.size()) {
        TFlagToken token{0, {}};
        if (value[i] == '+' || value[i] == '-') {
            token.sign = value[i++];
        }
        const std::size_t end = value.find_first_of("+-", i);
        token.word = value.substr(i, end == std::string::npos ? std::string::npos : end - i);
        i = end == std::string::npos ? value.size() : end;
        tokens.push_back(std::move(token));
    }
    return tokens;
}

// The old partition flags as the list today's encoder takes; false for an unknown token.
bool Partitions(const std::string& value, std::string& result) {
    static constexpr std::array<std::array<const char*, 2>, 5> names = {{
        {"parti4x4", "i4x4"},
        {"parti8x8", "i8x8"},
        {"partp4x4", "p4x4"},
        {"partp8x8", "p8x8"},
        {"partb8x8", "b8x8"},
    }};
    std::array<bool, names.size()> chosen{};
    for (const TFlagToken& token : FlagTokens(value)) {
        bool known = false;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (token.word == names[i][0]) {
                chosen[i] = token.sign != '-';
                known = true;
            }
        }
        if (!known) {
            return false;
        }
    }
    result.clear();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (chosen[i]) {
            if (!result.empty()) {
                result += ',';
            }
            result += names[i][1];
        }
    }
    if (result.empty()) {
        result = "none";
    }
    return true;
}

void WarnIgnored(const void* sender, const std::string& name, const std::string& value,
                 const char* appliesTo) {
    LoggerInstance().LogFmt(sender, llWarning, enginemsg::LegacyOptionIgnored, name.c_str(),
                            value.c_str(), appliesTo);
}

} // namespace

const std::vector<TLegacyRule>& TLegacyOptions::Rules() {
    return kRules;
}

bool TLegacyOptions::SetOption(TOptionContexts& contexts, const std::string& rawName,
                               const std::string& rawValue, const void* sender) {
    const std::string name = Trim(rawName);
    const std::string value = Trim(rawValue);
    if (name.empty() || value.empty()) {
        return false;
    }
    if (HasTokenRules(name)) {
        return ApplyFlags(contexts, name, value, sender);
    }
    return ApplyWhole(contexts, name, value, sender);
}

bool TLegacyOptions::ApplyWhole(TOptionContexts& contexts, const std::string& name,
                                const std::string& value, const void* sender) {
    bool listed = false;
    bool taken = false;
    const char* appliesTo = "";
    for (const TLegacyRule& rule : kRules) {
        if (Matches(rule, name, nullptr)) {
            if (!listed) {
                appliesTo = rule.appliesTo;
            }
            listed = true;
            taken = ApplyRule(contexts, rule, value, true, sender) || taken;
        }
    }
    if (!listed) {
        return contexts.SetDefaultOption(name, value);
    }
    if (!taken) {
        WarnIgnored(sender, name, value, appliesTo);
    }
    return true;
}

bool TLegacyOptions::ApplyFlags(TOptionContexts& contexts, const std::string& name,
                                const std::string& value, const void* sender) {
    // Tokens with rules, and whether the generic flags still carry them.
    struct TListed {
        TFlagToken token;
        std::vector<const TLegacyRule*> rules;
        bool kept = false;
    };
    const std::vector<TFlagToken> tokens = FlagTokens(value);
    std::string generic;
    std::vector<TListed> listed;
    for (const TFlagToken& token : tokens) {
        const std::string sign = token.sign != 0 ? std::string(1, token.sign) : "+";
        TListed entry{token, {}, false};
        for (const TLegacyRule& rule : kRules) {
            if (!Matches(rule, name, token.word.c_str())) {
                continue;
            }
            if (rule.form == TLegacyValue::Rename) {
                generic += sign + rule.target;
                entry.kept = true;
            } else {
                entry.rules.push_back(&rule);
                if (rule.keepToken && !entry.kept) {
                    generic += sign + token.word;
                    entry.kept = true;
                }
            }
        }
        if (entry.rules.empty() && !entry.kept) {
            generic += sign + token.word;
        } else {
            listed.push_back(std::move(entry));
        }
    }
    if (listed.empty()) {
        return contexts.SetDefaultOption(name, value);
    }
    // An unsigned first token set the whole value: so it still does.
    if (!tokens.empty() && tokens.front().sign == 0) {
        generic = "0" + generic;
    }
    if (!generic.empty() && !contexts.SetDefaultOption(name, generic)) {
        return false;
    }
    for (const TListed& entry : listed) {
        const bool set = entry.token.sign != '-';
        const std::string shown = (set ? "+" : "-") + entry.token.word;
        bool taken = entry.kept;
        for (const TLegacyRule* rule : entry.rules) {
            taken = ApplyRule(contexts, *rule, shown, set, sender) || taken;
        }
        if (!taken && !entry.rules.empty()) {
            WarnIgnored(sender, name, shown, entry.rules.front()->appliesTo);
        }
    }
    return true;
}

bool TLegacyOptions::ApplyRule(TOptionContexts& contexts, const TLegacyRule& rule,
                               const std::string& value, bool set, const void* sender) {
    if (rule.target == nullptr) {
        return false;
    }
    std::string result;
    switch (rule.form) {
    case TLegacyValue::Number:
        if (!IsNumber(value)) {
            return false;
        }
        result = value;
        break;
    case TLegacyValue::Fixed: {
        const char* chosen = set ? rule.value : rule.cleared;
        if (chosen == nullptr) {
            return false;
        }
        result = chosen;
        break;
    }
    case TLegacyValue::Map:
        if (!MapValue(rule.value, value, result)) {
            return false;
        }
        break;
    case TLegacyValue::Partitions:
        if (!Partitions(value, result)) {
            return false;
        }
        break;
    case TLegacyValue::FlagToken: {
        std::string& merged = merged_[rule.target];
        merged += set ? rule.value : rule.cleared;
        result = merged;
        break;
    }
    case TLegacyValue::Rename:
        return false;
    }
    if (!contexts.SetDefaultOption(rule.target, result)) {
        return false;
    }
    LoggerInstance().LogFmt(sender, llDebug, enginemsg::LegacyOptionTranslated, rule.option,
                            value.c_str(), rule.target, result.c_str());
    return true;
}
