// U_ExtractThd: the audio worker's job.
#include "engine/ui/U_ExtractThd.h"

#include "engine/jobs/U_AVIExtractor.h"

std::function<void()> TExtractThd::MakeJob() {
    return [x = Extractor, name = OutputName] { x->ExtractAudio(name); };
}
