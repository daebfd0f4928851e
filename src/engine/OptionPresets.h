#pragma once

// The built-in option presets: named sets of H.264 encoder options in the engine's old option
// vocabulary, applied line by line through the generic option handler.

#include <string>
#include <vector>

class TEngineSettings;

struct TOptionsPreset {
    std::string Name;    // compared without regard to case
    std::string Options; // name=value lines separated by line feeds
};

class TOptionPresets {
public:
    static constexpr int Count = 40;

    // The whole table, built once for the process.
    static const std::vector<TOptionsPreset>& Table();
    // The entry with that name (any case), or null.
    static const TOptionsPreset* Find(const std::string& name);
    // The preset procedure of vpre, apre, spre and fpre: a table entry (also by the pending
    // codec's name and the preset name) or, for fpre always, a file of name=value lines.
    static void opt_preset(TEngineSettings& s, const std::string& optionName,
                           const std::string& presetName);
};
