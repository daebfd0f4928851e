#pragma once

// What every part of a task reads and none of them changes: the settings the options left,
// the option contexts, the maps, the stop request and the task's services. Each part gets
// this by const reference; what a part changes is its own state, or goes through the part
// that owns it (the settings part for pending settings).

#include "EngineServices.h"
#include "EngineTypes.h"
#include "OptionContexts.h"

#include <array>
#include <atomic>
#include <vector>

struct TRunSettings {
    const TPendingSettings& pending;
    const TTaskSwitches& switches;
    const TOptionContexts& contexts;
    const std::vector<TStreamMap>& streamMaps;
    const std::vector<TMetaDataMap>& metaDataMaps;
    const std::array<int, MAX_STREAMS>& streamIds;
    const std::atomic<bool>& stopRequested;
    const TEngineServices& services;
};
