#include "QualityLevels.h"

#include "MediaUtils.h"

#include <array>

namespace {

constexpr std::array<const char*, 3> Levels{"Quality high", "Quality normal", "Quality small"};

// Each encoder's value for high, normal and small, the option that takes it and the caption's
// name of its scale. The values keep the three levels about equally apart in size on every
// encoder, normal being what its authors recommend for everyday use.
struct TScale {
    const char* Encoder;
    const char* Option;
    const char* ScaleName;
    std::array<int, 3> Values;
};

constexpr std::array<TScale, 9> Scales{{
    {"libx264", "crf", "CRF", {19, 22, 26}},
    {"libx265", "crf", "CRF", {25, 29, 33}},
    {"libsvtav1", "crf", "CRF", {30, 38, 46}},
    {"libvpx-vp9", "crf", "CRF", {28, 33, 39}},
    {"h264_vaapi", "qp", "QP", {20, 24, 28}},
    {"hevc_vaapi", "qp", "QP", {22, 26, 30}},
    {"vp9_vaapi", "global_quality", "Q", {60, 100, 140}},
    {"h264_nvenc", "cq", "CQ", {20, 24, 28}},
    {"hevc_nvenc", "cq", "CQ", {22, 26, 30}},
}};

const TScale* ScaleOf(const std::string& encoder) {
    for (const TScale& scale : Scales) {
        if (encoder == scale.Encoder) {
            return &scale;
        }
    }
    return nullptr;
}

int LevelIndex(const std::string& level) {
    for (size_t i = 0; i < Levels.size(); ++i) {
        if (level == Levels[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

std::optional<std::string> TQualityLevels::LevelName(const std::string& text) {
    const std::string trimmed = Trim(text);
    for (const char* level : Levels) {
        const std::string name = level;
        if (trimmed == name || (trimmed.rfind(name + " (", 0) == 0 && trimmed.back() == ')')) {
            return name;
        }
    }
    return std::nullopt;
}

std::optional<int> TQualityLevels::Value(const std::string& level, const std::string& encoder) {
    const TScale* scale = ScaleOf(encoder);
    const int index = LevelIndex(level);
    if (scale == nullptr || index < 0) {
        return std::nullopt;
    }
    return scale->Values[index];
}

std::string TQualityLevels::Caption(const std::string& level, const std::string& encoder) {
    const std::optional<int> value = Value(level, encoder);
    if (!value) {
        return level;
    }
    return level + " (" + ScaleOf(encoder)->ScaleName + " " + std::to_string(*value) + ")";
}

TQualityLevels::TOptionLines TQualityLevels::Options(const std::string& level,
                                                     const std::string& encoder) {
    const std::optional<int> value = Value(level, encoder);
    if (!value) {
        return {};
    }
    TOptionLines lines;
    const std::string number = std::to_string(*value);
    if (encoder == "h264_vaapi" || encoder == "hevc_vaapi" || encoder == "vp9_vaapi") {
        lines.emplace_back("rc_mode", "CQP");
    } else if (encoder == "h264_nvenc" || encoder == "hevc_nvenc") {
        // Constant quality on NVENC: variable rate with no bit rate target.
        lines.emplace_back("rc", "vbr");
        lines.emplace_back("vb", "0");
    }
    lines.emplace_back(ScaleOf(encoder)->Option, number);
    return lines;
}
