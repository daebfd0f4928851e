#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TFrameHookEntry;

// The frame-hook plug-in chain of one task: libraries exporting "Configure", "Process" and
// "Release" (FrameHookApi.h), run on every decoded picture while the chain is active.
class TFrameHookChain {
public:
    TFrameHookChain();
    ~TFrameHookChain();
    TFrameHookChain(const TFrameHookChain&) = delete;
    TFrameHookChain& operator=(const TFrameHookChain&) = delete;

    // args[0] is the library file; 0 or a negative error code: -1 the library cannot be
    // loaded, -2 no arguments or a missing entry point, -12 no memory, -22 Configure failed.
    int AddFrameHook(const std::vector<std::string>& args);
    // Runs every entry's Process on the picture, in the order added.
    void ProcessFrameHooks(std::uint8_t* const data[4], const int linesize[4], int pixFmt,
                           int width, int height, std::int64_t pts);
    // Calls Release of every entry and empties the chain.
    void ReleaseFrameHooks();
    bool Empty() const { return entries_.empty(); }
    int Count() const { return static_cast<int>(entries_.size()); }
    // The context Configure gave an entry; null without Configure.
    const void* Context(int index) const;

    // Plug-in libraries loaded by this process so far (they stay loaded).
    static int LoadedModuleCount();

private:
    std::vector<std::unique_ptr<TFrameHookEntry>> entries_;
};
