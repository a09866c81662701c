// U_CutThd: the cut worker's job.
#include "U_CutThd.h"

#include "U_AVIExtractor.h"

std::function<void()> TCutThd::MakeJob() {
    return [x = Extractor, first = FirstFrame, last = LastFrame] { x->SaveRange(first, last); };
}
