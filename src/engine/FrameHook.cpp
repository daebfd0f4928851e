// Frame-hook plug-ins.

#include "FrameHook.h"

struct TFrameHookEntry {};

TFrameHookChain::TFrameHookChain() = default;

TFrameHookChain::~TFrameHookChain() {
    ReleaseFrameHooks();
}

int TFrameHookChain::AddFrameHook(const std::vector<std::string>& args) {
    return args.empty() ? -2 : -1;
}

void TFrameHookChain::ProcessFrameHooks(std::uint8_t* const[4], const int[4], int, int, int,
                                        std::int64_t) {}

void TFrameHookChain::ReleaseFrameHooks() {
    entries_.clear();
}
