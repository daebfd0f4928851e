#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// The names the lists show, and what a profile stores for them.
class TDisplayNames {
public:
    using TTable = std::vector<std::pair<std::string, std::string>>;

    // Display name (lower case) → engine video codec name or container word.
    static const TTable& VideoEncoders();
    // Display name (lower case) → engine audio codec name; where a name occurs twice the
    // later row wins.
    static const TTable& AudioEncoders();

    // Lower-case comparison; nothing when the name is not in the table.
    static std::optional<std::string> VideoEncoder(const std::string& displayName);
    static std::optional<std::string> AudioEncoder(const std::string& displayName);
    // "as source", "mono 1 channel", "stereo 2 channels" (exact) → "as source", "1", "2".
    static std::optional<std::string> Channel(const std::string& displayName);
    // A percentage item ("100%") → the engine volume where 256 is unchanged ("256"); only the
    // offered percentages 25..400 map.
    static std::optional<std::string> Volume(const std::string& displayName);
    // The audio encoder that also forces 8000 Hz and one channel.
    static constexpr const char* Gsm = "gsm";
    static constexpr const char* H264 = "h264";
};
