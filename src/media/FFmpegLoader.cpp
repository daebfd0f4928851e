#include "FFmpegLoader.h"

#include "FFBaseComponent.h"
#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "LibraryFunctions.h"
#include "MediaMessages.h"
#include "MediaUtils.h"
#include "UnicodeProtocol.h"

#include <dlfcn.h>
#include <link.h>

namespace fn {
#define VANTRE_DEFINE_ENTRY(name) decltype(&::name) name = nullptr;
VANTRE_AVUTIL_FUNCTIONS(VANTRE_DEFINE_ENTRY)
VANTRE_SWRESAMPLE_FUNCTIONS(VANTRE_DEFINE_ENTRY)
VANTRE_SWSCALE_FUNCTIONS(VANTRE_DEFINE_ENTRY)
VANTRE_POSTPROC_FUNCTIONS(VANTRE_DEFINE_ENTRY)
VANTRE_AVCODEC_FUNCTIONS(VANTRE_DEFINE_ENTRY)
VANTRE_AVFORMAT_FUNCTIONS(VANTRE_DEFINE_ENTRY)
VANTRE_AVFILTER_FUNCTIONS(VANTRE_DEFINE_ENTRY)
VANTRE_SDL2_FUNCTIONS(VANTRE_DEFINE_ENTRY)
#undef VANTRE_DEFINE_ENTRY
} // namespace fn

namespace {

struct LibraryItem {
    TLibraryKind kind;
    const char* name;
    const char* fileName;
    bool (*bind)(const std::string& file, void* handle, std::string& error);
    void (*clear)();
};

#define VANTRE_BIND_ENTRY(name)                                                                    \
    if (!BindEntryPoint(file, handle, #name, reinterpret_cast<void**>(&fn::name), error)) {        \
        return false;                                                                              \
    }
#define VANTRE_CLEAR_ENTRY(name) fn::name = nullptr;

#define VANTRE_LIBRARY_PROCS(id, LIST)                                                             \
    bool Bind##id([[maybe_unused]] const std::string& file, [[maybe_unused]] void* handle,         \
                  [[maybe_unused]] std::string& error) {                                           \
        LIST(VANTRE_BIND_ENTRY)                                                                    \
        return true;                                                                               \
    }                                                                                              \
    void Clear##id() {                                                                             \
        LIST(VANTRE_CLEAR_ENTRY)                                                                   \
    }

VANTRE_LIBRARY_PROCS(AVUtil, VANTRE_AVUTIL_FUNCTIONS)
VANTRE_LIBRARY_PROCS(SWResample, VANTRE_SWRESAMPLE_FUNCTIONS)
VANTRE_LIBRARY_PROCS(SWScale, VANTRE_SWSCALE_FUNCTIONS)
VANTRE_LIBRARY_PROCS(PostProc, VANTRE_POSTPROC_FUNCTIONS)
VANTRE_LIBRARY_PROCS(AVCodec, VANTRE_AVCODEC_FUNCTIONS)
VANTRE_LIBRARY_PROCS(AVFormat, VANTRE_AVFORMAT_FUNCTIONS)
VANTRE_LIBRARY_PROCS(AVFilter, VANTRE_AVFILTER_FUNCTIONS)
VANTRE_LIBRARY_PROCS(SDL2, VANTRE_SDL2_FUNCTIONS)

#undef VANTRE_LIBRARY_PROCS
#undef VANTRE_CLEAR_ENTRY
#undef VANTRE_BIND_ENTRY

const LibraryItem kLibraries[LibraryKindCount] = {
    {TLibraryKind::libAVUtil, "avutil", "libavutil.so.57", BindAVUtil, ClearAVUtil},
    {TLibraryKind::libSWResample, "swresample", "libswresample.so.4", BindSWResample,
     ClearSWResample},
    {TLibraryKind::libSWScale, "swscale", "libswscale.so.6", BindSWScale, ClearSWScale},
    {TLibraryKind::libPostProc, "postproc", "libpostproc.so.56", BindPostProc, ClearPostProc},
    {TLibraryKind::libAVCodec, "avcodec", "libavcodec.so.59", BindAVCodec, ClearAVCodec},
    {TLibraryKind::libAVFormat, "avformat", "libavformat.so.59", BindAVFormat, ClearAVFormat},
    {TLibraryKind::libAVFilter, "avfilter", "libavfilter.so.8", BindAVFilter, ClearAVFilter},
    {TLibraryKind::libSDL2, "SDL2", "libSDL2-2.0.so.0", BindSDL2, ClearSDL2},
};

const LibraryItem& Item(TLibraryKind kind) {
    return kLibraries[static_cast<int>(kind)];
}

std::string LastDlError() {
    const char* text = ::dlerror();
    return text != nullptr ? text : "unknown error";
}

std::string VersionOf(unsigned v) {
    return Format("%u.%u.%u", v >> 16, (v >> 8) & 0xFF, v & 0xFF);
}

} // namespace

bool BindEntryPoint(const std::string& libraryFile, void* handle, const char* name, void** slot,
                    std::string& error) {
    ::dlerror();
    void* address = ::dlsym(handle, name);
    if (address == nullptr) {
        error =
            Format(mediamsg::LoadFunctionError, name, libraryFile.c_str(), LastDlError().c_str());
        return false;
    }
    *slot = address;
    return true;
}

bool BindVariable(const std::string& libraryFile, void* handle, const char* name, void** slot,
                  std::string& error) {
    ::dlerror();
    void* address = ::dlsym(handle, name);
    if (address == nullptr) {
        error =
            Format(mediamsg::LoadVariableError, name, libraryFile.c_str(), LastDlError().c_str());
        return false;
    }
    *slot = address;
    return true;
}

std::recursive_mutex& CodecLock() {
    static std::recursive_mutex lock;
    return lock;
}

TFFmpegLoader& TFFmpegLoader::Instance() {
    static TFFmpegLoader loader;
    return loader;
}

std::string TFFmpegLoader::LibraryFileName(TLibraryKind kind) {
    return Item(kind).fileName;
}

const char* TFFmpegLoader::LibraryBaseName(TLibraryKind kind) {
    return Item(kind).name;
}

bool TFFmpegLoader::LoadOne(TLibraryKind kind) {
    std::lock_guard lock(mutex_);
    return LoadOneLocked(kind);
}

bool TFFmpegLoader::LoadOneLocked(TLibraryKind kind) {
    Status& st = status_[static_cast<int>(kind)];
    const LibraryItem& item = Item(kind);
    if (st.handle == nullptr) {
        std::string path = item.fileName;
        if (!folder_.empty()) {
            std::string folder = folder_;
            if (folder.back() != '/') {
                folder += '/';
            }
            if (FileExists(folder + item.fileName)) {
                path = folder + item.fileName;
            }
        }
        ::dlerror();
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            lastError_ = Format(mediamsg::LoadLibraryError, path.c_str(), LastDlError().c_str());
            return false;
        }
        st.handle = handle;
        ++st.loads;
        const link_map* map = nullptr;
        st.path = (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name)
                      ? std::string(map->l_name)
                      : path;
    }
    if (!st.bound) {
        std::string error;
        if (item.bind(item.fileName, st.handle, error)) {
            st.bound = true;
        } else {
            item.clear();
            lastError_ = error;
        }
    }
    if (!st.bound) {
        UnloadOneLocked(kind);
        return false;
    }
    if (kind == TLibraryKind::libAVUtil) {
        LoggerInstance().SetupLibraryLog();
    } else if (kind == TLibraryKind::libAVFormat) {
        RegisterUnicodeProtocol();
    }
    return true;
}

bool TFFmpegLoader::Load(const TLibrarySet& set) {
    if (set.Empty()) {
        throw FFmpegAssertion("FFmpegLoader.Load");
    }
    std::lock_guard lock(mutex_);
    TLibrarySet loadedHere;
    for (int i = 0; i < LibraryKindCount; ++i) {
        const auto kind = static_cast<TLibraryKind>(i);
        if (!set.Contains(kind)) {
            continue;
        }
        const bool wasLoaded = status_[i].handle != nullptr;
        if (!LoadOneLocked(kind)) {
            // Libraries another component loaded before may be in use by a running
            // conversion: only what this call loaded goes.
            for (int j = LibraryKindCount - 1; j >= 0; --j) {
                if (loadedHere.Contains(static_cast<TLibraryKind>(j))) {
                    UnloadOneLocked(static_cast<TLibraryKind>(j));
                }
            }
            return false;
        }
        if (!wasLoaded) {
            loadedHere = loadedHere.With(kind);
        }
    }
    return true;
}

bool TFFmpegLoader::IsLoaded(TLibraryKind kind) const {
    std::lock_guard lock(mutex_);
    const Status& st = status_[static_cast<int>(kind)];
    return st.handle != nullptr && st.bound;
}

bool TFFmpegLoader::Loaded(const TLibrarySet& set) const {
    if (set.Empty()) {
        throw FFmpegAssertion("FFmpegLoader.Loaded");
    }
    for (int i = 0; i < LibraryKindCount; ++i) {
        if (set.Contains(static_cast<TLibraryKind>(i)) && !IsLoaded(static_cast<TLibraryKind>(i))) {
            return false;
        }
    }
    return true;
}

void TFFmpegLoader::UnloadOne(TLibraryKind kind) {
    std::lock_guard lock(mutex_);
    UnloadOneLocked(kind);
}

void TFFmpegLoader::UnloadOneLocked(TLibraryKind kind) {
    Status& st = status_[static_cast<int>(kind)];
    if (st.bound) {
        Item(kind).clear();
        st.bound = false;
    }
    if (st.handle != nullptr) {
        ::dlclose(st.handle);
        st.handle = nullptr;
        st.path.clear();
    }
}

void TFFmpegLoader::Unload(const TLibrarySet& set) {
    if (set.Empty()) {
        throw FFmpegAssertion("FFmpegLoader.Unload");
    }
    std::lock_guard lock(mutex_);
    for (int i = LibraryKindCount - 1; i >= 0; --i) {
        if (set.Contains(static_cast<TLibraryKind>(i))) {
            UnloadOneLocked(static_cast<TLibraryKind>(i));
        }
    }
}

std::string TFFmpegLoader::LastErrorText() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

std::string TFFmpegLoader::LibraryFolder() const {
    std::lock_guard lock(mutex_);
    return folder_;
}

void TFFmpegLoader::SetLibraryFolder(const std::string& folder) {
    std::lock_guard lock(mutex_);
    folder_ = folder;
}

std::string TFFmpegLoader::LoadedPath(TLibraryKind kind) const {
    std::lock_guard lock(mutex_);
    return status_[static_cast<int>(kind)].path;
}

int TFFmpegLoader::LoadCount(TLibraryKind kind) const {
    std::lock_guard lock(mutex_);
    return status_[static_cast<int>(kind)].loads;
}

std::string TFFmpegLoader::VersionText(TLibraryKind kind) const {
    if (!IsLoaded(kind)) {
        return {};
    }
    switch (kind) {
    case TLibraryKind::libAVUtil:
        return VersionOf(fn::avutil_version());
    case TLibraryKind::libSWResample:
        return VersionOf(fn::swresample_version());
    case TLibraryKind::libSWScale:
        return VersionOf(fn::swscale_version());
    case TLibraryKind::libAVCodec:
        return VersionOf(fn::avcodec_version());
    case TLibraryKind::libAVFormat:
        return VersionOf(fn::avformat_version());
    case TLibraryKind::libAVFilter:
        return VersionOf(fn::avfilter_version());
    case TLibraryKind::libSDL2: {
        SDL_version v{};
        fn::SDL_GetVersion(&v);
        return Format("%u.%u.%u", v.major, v.minor, v.patch);
    }
    case TLibraryKind::libPostProc:
        break;
    }
    return {};
}

bool TFFBaseComponent::LoadLibrarySet(const TLibrarySet& set, const std::string& folder,
                                      std::string& errorText) {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    loader.SetLibraryFolder(folder);
    if (loader.Load(set)) {
        return true;
    }
    errorText = loader.LastErrorText();
    return false;
}

bool TFFBaseComponent::LibrarySetLoaded(const TLibrarySet& set) {
    return TFFmpegLoader::Instance().Loaded(set);
}
