// U_ExtractThd: TExtractThd, the worker that writes the source's MP3 track to a raw MP3 file
// (TAVIExtractor::ExtractAudio).
#pragma once

#include "engine/ui/U_JobThd.h"

#include <string>

class TExtractThd : public TJobThd {
    Q_OBJECT
public:
    using TJobThd::TJobThd;

    std::string OutputName; // UTF-8, as the extractor takes it

protected:
    std::function<void()> MakeJob() override;
};
