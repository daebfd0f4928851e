#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// The "Quality" items of a format's video bit rate list: constant-quality levels, stored in a
// profile by their level name and mapped to each encoder's own scale when converting.
class TQualityLevels {
public:
    using TOptionLines = std::vector<std::pair<std::string, std::string>>;

    // "Quality high", "Quality normal" or "Quality small" of a list item, with or without the
    // value the dialog shows after it ("Quality normal (CRF 24)"); nothing for other texts.
    static std::optional<std::string> LevelName(const std::string& text);
    // The level on the encoder's scale; nothing for an unknown level or an encoder (a library
    // name such as "libx265") without a constant-quality mode.
    static std::optional<int> Value(const std::string& level, const std::string& encoder);
    // What the list shows: the level with its value ("Quality normal (CRF 24)"), or the level
    // alone for an encoder without a scale.
    static std::string Caption(const std::string& level, const std::string& encoder);
    // The encoder options of a constant-quality encode; empty when there is none.
    static TOptionLines Options(const std::string& level, const std::string& encoder);
};
