#pragma once

#include <string>

class TLibrarySet;

// Common base of the media components (logger, probe, encoder, player).
class TFFBaseComponent {
public:
    TFFBaseComponent() = default;
    virtual ~TFFBaseComponent() = default;
    TFFBaseComponent(const TFFBaseComponent&) = delete;
    TFFBaseComponent& operator=(const TFFBaseComponent&) = delete;

protected:
    // Loads a library set from folder (empty: default search). On failure the loader's error
    // text is copied into errorText.
    static bool LoadLibrarySet(const TLibrarySet& set, const std::string& folder,
                               std::string& errorText);
    static bool LibrarySetLoaded(const TLibrarySet& set);
};
