#include "FFmpegTask.h"

TFFmpeg::~TFFmpeg() {
    // The probes only adopted the engine's inputs: stop the conversion before they go.
    Stop(true);
    for (auto& probe : probes_) {
        probe.reset();
    }
}

TAVProbe& TFFmpeg::ProbeOf(int fileIndex) {
    std::unique_ptr<TAVProbe>& probe = probes_.at(static_cast<size_t>(fileIndex));
    if (!probe) {
        probe = std::make_unique<TAVProbe>();
    }
    return *probe;
}

TAVProbe* TFFmpeg::InputProbe(int fileIndex) const {
    if (fileIndex < 0 || fileIndex >= MaxFiles) {
        return nullptr;
    }
    return probes_[static_cast<size_t>(fileIndex)].get();
}
