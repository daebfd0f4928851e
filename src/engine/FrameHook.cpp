// Frame-hook plug-ins: loading, the chain of one task, and its release.

#include "FrameHook.h"

#include "FFmpegMessages.h"
#include "FrameHookApi.h"
#include "LibraryFunctions.h"
#include "MediaUtils.h"

#include <dlfcn.h>
#include <mutex>
#include <new>
#include <utility>

struct TFrameHookEntry {
    VantreHookConfigure Configure = nullptr;
    VantreHookProcess Process = nullptr;
    VantreHookRelease Release = nullptr;
    void* context = nullptr;
    // The argument strings Configure saw; plug-ins may keep pointers to them.
    std::vector<std::string> args;
    std::vector<char*> argv;
};

namespace {

// Plug-in modules of the process: loaded once, never unloaded, names compared without regard
// to case.
struct TModuleCache {
    std::mutex lock;
    std::vector<std::pair<std::string, void*>> modules;
};

TModuleCache& ModuleCache() {
    static TModuleCache cache;
    return cache;
}

void LogLibraryError(const char* format, const char* argument) {
    if (fn::av_log != nullptr) {
        fn::av_log(nullptr, AV_LOG_ERROR, format, argument);
    }
}

// The module of a plug-in file, loaded on first use; null with the loader's text logged.
void* ModuleFor(const std::string& fileName) {
    TModuleCache& cache = ModuleCache();
    std::lock_guard guard(cache.lock);
    for (const auto& [name, handle] : cache.modules) {
        if (SameText(name, fileName)) {
            return handle;
        }
    }
    // By the path given: the plug-in's own RPATH ($ORIGIN) finds the libraries beside it.
    ::dlerror();
    void* handle = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* error = ::dlerror();
        LogLibraryError("%s\n", error != nullptr ? error : fileName.c_str());
        return nullptr;
    }
    cache.modules.emplace_back(fileName, handle);
    return handle;
}

template <typename T> T EntryPoint(void* module, const char* name) {
    return reinterpret_cast<T>(::dlsym(module, name));
}

} // namespace

TFrameHookChain::TFrameHookChain() = default;

TFrameHookChain::~TFrameHookChain() {
    ReleaseFrameHooks();
}

int TFrameHookChain::AddFrameHook(const std::vector<std::string>& args) {
    if (args.empty()) {
        return -2;
    }
    const std::string& fileName = args.front();
    void* module = ModuleFor(fileName);
    if (module == nullptr) {
        return -1;
    }
    std::unique_ptr<TFrameHookEntry> entry;
    try {
        entry = std::make_unique<TFrameHookEntry>();
        entry->args = args;
        for (std::string& arg : entry->args) {
            entry->argv.push_back(arg.data());
        }
        entry->argv.push_back(nullptr);
    } catch (const std::bad_alloc&) {
        return -12;
    }
    entry->Configure = EntryPoint<VantreHookConfigure>(module, "Configure");
    entry->Process = EntryPoint<VantreHookProcess>(module, "Process");
    entry->Release = EntryPoint<VantreHookRelease>(module, "Release");
    if (entry->Process == nullptr) {
        LogLibraryError(enginemsg::HookNoProcess, fileName.c_str());
        return -2;
    }
    if (args.size() > 1 && entry->Configure == nullptr) {
        LogLibraryError(enginemsg::HookNoConfigure, fileName.c_str());
        return -2;
    }
    if (entry->Configure != nullptr &&
        entry->Configure(&entry->context, static_cast<int>(args.size()), entry->argv.data()) != 0) {
        LogLibraryError(enginemsg::HookConfigureFailed, fileName.c_str());
        return -22;
    }
    entries_.push_back(std::move(entry));
    return 0;
}

void TFrameHookChain::ProcessFrameHooks(std::uint8_t* const data[4], const int linesize[4],
                                        int pixFmt, int width, int height, std::int64_t pts) {
    VantreHookPicture picture{};
    for (int i = 0; i < 4; ++i) {
        picture.data[i] = data[i];
        picture.linesize[i] = linesize[i];
    }
    for (const auto& entry : entries_) {
        entry->Process(entry->context, &picture, pixFmt, width, height, pts);
    }
}

void TFrameHookChain::ReleaseFrameHooks() {
    for (const auto& entry : entries_) {
        if (entry->Release != nullptr) {
            entry->Release(entry->context);
        }
    }
    entries_.clear();
}

const void* TFrameHookChain::Context(int index) const {
    return index >= 0 && index < Count() ? entries_[index]->context : nullptr;
}

int TFrameHookChain::LoadedModuleCount() {
    TModuleCache& cache = ModuleCache();
    std::lock_guard guard(cache.lock);
    return static_cast<int>(cache.modules.size());
}
