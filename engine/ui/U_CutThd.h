// U_CutThd: TCutThd, the worker that copies one frame range of the source into the output
// file (TAVIExtractor::SaveRange).
#pragma once

#include "engine/ui/U_JobThd.h"

#include <cstdint>

// The output must have been created on the main thread (CreateOutput) before Start.
class TCutThd : public TJobThd {
    Q_OBJECT
public:
    using TJobThd::TJobThd;

    int32_t FirstFrame = 0;
    int32_t LastFrame = 0;

protected:
    std::function<void()> MakeJob() override;
};
