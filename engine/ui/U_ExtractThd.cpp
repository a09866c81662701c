// U_ExtractThd: the audio worker's job.
#include "U_ExtractThd.h"

#include "U_AVIExtractor.h"

std::function<void()> TExtractThd::MakeJob() {
    return [x = Extractor, name = OutputName] { x->ExtractAudio(name); };
}
