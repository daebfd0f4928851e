#pragma once

#include "CatalogFile.h"
#include "IniFile.h"

#include <optional>
#include <string>

// What the user chose for one format in the conversion settings: per parameter the chosen
// item's index in its catalog list (-1 when the text was typed or nothing is chosen) and the
// displayed text.
struct TProfileChoice {
    int Index = -1;
    std::string Text;
};

struct TProfileChoices {
    std::string Description; // the format's entry text
    TProfileChoice VideoSize;
    TProfileChoice VideoBitRate;
    TProfileChoice FrameRate;
    TProfileChoice VideoEncoder;
    TProfileChoice SampleRate;
    TProfileChoice AudioBitRate;
    TProfileChoice AudioEncoder;
    TProfileChoice Channel;
    TProfileChoice Volume;
    int ZoomIndex = -1; // 0 "full", 1 "lbox", 2 "pan"; anything else stores nothing
};

// A format's profile: the section "formatInfo" + code of the settings file. Storing applies
// the display-name mappings; reading falls back on the catalog's default choices for a
// format whose profile names no video encoder (a format the user never configured converts
// with its catalog defaults, not as audio only).
class TFormatProfile {
public:
    TFormatProfile(std::string settingsFile, std::string catalogFile, int code);

    int Code() const { return code_; }
    // The stored value; for a profile without "paraVideoEncoder" a missing key takes the
    // value the catalog's default choices would store; otherwise defaultValue.
    std::string Read(const std::string& key, const std::string& defaultValue) const;

    // The keys and values a confirmed settings dialog stores, in order: description, the nine
    // indexes, the typed values, zoom, the mapped encoders (with the H.264 extras copied from
    // the catalog), channels and volume. A key written twice keeps its last value.
    static TIniFile::TValues Values(const TCatalogFile& catalog, int code,
                                    const TProfileChoices& choices);
    // Stores the values in one write.
    static void Store(TIniFile& settings, const TCatalogFile& catalog, int code,
                      const TProfileChoices& choices);
    // The catalog's default item of every list (none for a disabled list or an index outside
    // it); no zoom.
    static TProfileChoices CatalogDefaults(const TCatalogFile& catalog, int code);

private:
    std::string settingsFile_;
    std::string catalogFile_;
    int code_;
    mutable std::optional<TIniFile::TValues> catalogDefaults_;
};
