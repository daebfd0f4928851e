#pragma once

#include "AVProbe.h"
#include "EncoderOptions.h"
#include "FFmpeg.h"

#include <array>
#include <memory>

// One conversion task of the encoder component: the engine plus copies of the option records
// it was given and a probe per input slot, attached to the engine's opened input.
class TFFmpeg : public TCustomFFmpeg {
public:
    TFFmpeg() = default;
    ~TFFmpeg() override;

    // Held apart: a batch keeps thousands of tasks, most of them using one slot.
    std::array<std::unique_ptr<const TInputOptions>, MaxFiles> InputOptions;
    std::array<std::unique_ptr<const TOutputOptions>, MaxFiles> OutputOptions;

    // The probe of an input slot, created on first use.
    TAVProbe& ProbeOf(int fileIndex);
    TAVProbe* InputProbe(int fileIndex) const;

private:
    std::array<std::unique_ptr<TAVProbe>, MaxFiles> probes_;
};
