// U_CutThd: the cut worker's job.
#include "engine/ui/U_CutThd.h"

#include "engine/jobs/U_AVIExtractor.h"

std::function<void()> TCutThd::MakeJob() {
    return [x = Extractor, first = FirstFrame, last = LastFrame] { x->SaveRange(first, last); };
}
