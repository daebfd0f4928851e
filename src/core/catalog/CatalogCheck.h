#pragma once

#include "IniFile.h"

#include <string>

// Compares the format catalog in the user's data folder with the one shipped with the program:
// by the catalog's version, then by its sections (the format codes) and their keys.
class TCatalogCheck {
public:
    static constexpr const char* VersionSection = "catalog";
    static constexpr const char* VersionKey = "Version";

    enum class TVerdict {
        Current, // as new as the shipped one, with all its sections and keys
        Newer,   // a later program's: kept as it is
        Older,   // an earlier program's
        Damaged  // sections or keys are missing
    };
    struct TResult {
        TVerdict Verdict = TVerdict::Current;
        std::string Detail; // what is missing, for a damaged catalog
    };

    static TResult Compare(const TIniFile::TContent& copy, const TIniFile::TContent& shipped);
    // The version a catalog states; 0 when it states none.
    static int Version(const TIniFile::TContent& content);
};
