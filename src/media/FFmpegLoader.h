#pragma once

#include "LibrarySet.h"

#include <array>
#include <mutex>
#include <string>

// Loads the media libraries at run time and binds their entry points into the fn:: table.
class TFFmpegLoader {
public:
    static TFFmpegLoader& Instance();

    static std::string LibraryFileName(TLibraryKind kind);
    static const char* LibraryBaseName(TLibraryKind kind);

    bool LoadOne(TLibraryKind kind);
    // Loads every member in load order; on a failure unloads what this call itself loaded.
    bool Load(const TLibrarySet& set);
    bool IsLoaded(TLibraryKind kind) const;
    bool Loaded(const TLibrarySet& set) const;
    void UnloadOne(TLibraryKind kind);
    void Unload(const TLibrarySet& set);

    std::string LastErrorText() const;
    std::string LibraryFolder() const;
    void SetLibraryFolder(const std::string& folder);

    // Where the module of a loaded kind was found, and how often a module was loaded for it.
    std::string LoadedPath(TLibraryKind kind) const;
    int LoadCount(TLibraryKind kind) const;
    // "major.minor.micro" of a bound library, empty when it has no version call.
    std::string VersionText(TLibraryKind kind) const;

private:
    TFFmpegLoader() = default;

    struct Status {
        void* handle = nullptr;
        bool bound = false;
        int loads = 0;
        std::string path;
    };

    bool LoadOneLocked(TLibraryKind kind);
    void UnloadOneLocked(TLibraryKind kind);

    mutable std::recursive_mutex mutex_;
    std::array<Status, LibraryKindCount> status_{};
    std::string folder_;
    std::string lastError_;
};

// Binds one exported function or variable of a loaded module; on failure sets error to the
// binding message and returns false.
bool BindEntryPoint(const std::string& libraryFile, void* handle, const char* name, void** slot,
                    std::string& error);
bool BindVariable(const std::string& libraryFile, void* handle, const char* name, void** slot,
                  std::string& error);

// Taken around every codec open and close and around stream discovery.
std::recursive_mutex& CodecLock();
